# Warnings are errors on our own code.
function(vexa_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
