# The sanitizer build: AddressSanitizer and UndefinedBehaviorSanitizer on every
# target, with undefined behaviour fatal so that the test run fails on it.
if(VEXA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
