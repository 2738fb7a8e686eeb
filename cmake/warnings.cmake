# Warnings on our own code. They become errors only with VEXA_WERROR=ON,
# which the test script and CI set: a packager's build with another compiler
# or flags must not fail on a warning that compiler invents.
option(VEXA_WERROR "Treat warnings as errors" OFF)

set(VEXA_WARNING_FLAGS -Wall -Wextra)
if(VEXA_WERROR)
  list(APPEND VEXA_WARNING_FLAGS -Werror)
endif()
# GCC 12 warns of overlapping copies inside libstdc++'s own string insert
# when "text" + std::string is inlined at -O3 (GCC bug 105651): a false
# positive on code that has no overlap, so it is off for GCC 12 alone.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND VEXA_WARNING_FLAGS $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
endif()

function(vexa_warnings target)
  target_compile_options(${target} PRIVATE ${VEXA_WARNING_FLAGS})
endfunction()
