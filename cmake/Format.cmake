# `format` rewrites every C++ file of the tree with the committed .clang-format;
# `format-check` fails when any file deviates from it (tools/test.sh runs it).
find_program(CLANG_FORMAT clang-format)
if(NOT CLANG_FORMAT)
    return()
endif()

set(format_globs src/*.cpp src/*.h tests/*.cpp tests/*.h bench/*.cpp bench/*.h)
list(TRANSFORM format_globs PREPEND ${PROJECT_SOURCE_DIR}/)
file(GLOB_RECURSE format_sources CONFIGURE_DEPENDS ${format_globs})
# The guest's test driver and the header it shares are kernel code, in the kernel's style.
list(FILTER format_sources EXCLUDE REGEX "/tests/vm/rig/")

add_custom_target(format
    COMMAND ${CLANG_FORMAT} -i ${format_sources}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Formatting the C++ sources"
    VERBATIM)
add_custom_target(format-check
    COMMAND ${CLANG_FORMAT} --dry-run --Werror ${format_sources}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Checking the C++ sources' format"
    VERBATIM)
