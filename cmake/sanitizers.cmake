# The sanitizer build: AddressSanitizer and UndefinedBehaviorSanitizer on every
# target, with undefined behaviour fatal so that the test run fails on it.
if(VEXA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzzing build: coverage for libFuzzer on every target; the fuzz
# programs add the fuzzer's main.
if(VEXA_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
