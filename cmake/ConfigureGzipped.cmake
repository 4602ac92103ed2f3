# Configures a file from its template, then compresses it, as Debian wants manual pages and
# changelogs (man and zless read them either way). gzip -n keeps the file's name and time out,
# so that every build gives the same bytes. The result is <binary dir>/<output>.gz.
function(quillmark_configure_gzipped template output)
    configure_file(${template} ${output} @ONLY)
    execute_process(
        COMMAND gzip -9n --stdout ${CMAKE_CURRENT_BINARY_DIR}/${output}
        OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/${output}.gz
        COMMAND_ERROR_IS_FATAL ANY)
endfunction()
