# krz_warnings(target): the project's warning set, errors when KRZ3DCOMTOOLS_WARNINGS_AS_ERRORS.
function(krz_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Wnon-virtual-dtor -Woverloaded-virtual)
  if(KRZ3DCOMTOOLS_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
