# Warnings are errors on every compiler we build with.
# -Wmissing-field-initializers is off: g++ 12 reports members that designated initializers leave
# to their default member initializers, which is the point of those defaults.
function(kivostrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror
                                           -Wno-missing-field-initializers)
endfunction()
