# Warnings for the project's own targets. They stay PRIVATE so that nothing is pushed on users;
# the developer and CI presets turn them into errors with CMAKE_COMPILE_WARNING_AS_ERROR.
function(mosa_enable_warnings target)
  target_compile_options(
    ${target}
    PRIVATE -Wall
            -Wextra
            -Wpedantic
            -Wconversion
            -Wsign-conversion
            # g++ 12 reports every member left out of a designated initializer, although the
            # records are built that way on purpose and every member has its default.
            $<$<CXX_COMPILER_ID:GNU>:-Wno-missing-field-initializers>)
endfunction()
