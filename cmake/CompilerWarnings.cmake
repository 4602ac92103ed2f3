# The warnings every target of this project builds with. QUILLMARK_WERROR turns them into
# errors; tools/test.sh builds that way, so a warning fails the test run.
option(QUILLMARK_WERROR "Treat compiler warnings as errors" OFF)

function(quillmark_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor -Woverloaded-virtual
        $<$<BOOL:${QUILLMARK_WERROR}>:-Werror>)
endfunction()
