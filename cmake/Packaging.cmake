# The Debian package. CPack makes it from the install rules (tools/package.sh runs it); its
# version is the project's, and dpkg-shlibdeps works out what it depends on.
set(QUILLMARK_MAINTAINER "Quillmark developers <developers@quillmark.org>")

# Debian wants the copyright and a changelog in every package's documentation folder.
set(quillmark_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillmark)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${quillmark_doc_dir} RENAME copyright)
execute_process(COMMAND date --utc --rfc-email --date=${QUILLMARK_RELEASE_DATE}
                OUTPUT_VARIABLE QUILLMARK_RELEASE_TIME OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
quillmark_configure_gzipped(${CMAKE_CURRENT_LIST_DIR}/debian-changelog.in changelog)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${quillmark_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR "The Quillmark developers")
set(CPACK_PACKAGE_CONTACT ${QUILLMARK_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL https://quillmark.org/)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serial port and sensor wiring tester")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmark opens a serial port at 9600 baud, 8N1, checks a loopback by sending a\n"
    "test text once a second, and shows the RTS and DTR outputs and the DSR, CTS\n"
    "and CD inputs as lamps. It logs and counts every event the port reports, and\n"
    "toggles or cycles RTS and DTR to exercise the sensors wired to the port.\n"
    "\n"
    "Ports are numbered 1 to 16: native UARTs, USB adapters, or simulated rigs for\n"
    "demonstrations.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
# Debian files serial line tools under communication programs.
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
