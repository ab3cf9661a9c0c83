# What `cmake --install` puts in place: the program, its manual page, its
# bash completion, the README, the licence, the example measurement file and
# the pages the README links to.
include(GNUInstallDirs)

# The README links to these by relative names, so they go into docs/ beside
# it wherever it is installed.
set(vextal_linked_docs docs/manual.md docs/architecture.md docs/sensor_10_80.svg)

# The manual page names the version of the project() call.
configure_file(${PROJECT_SOURCE_DIR}/docs/vextal.1.in ${CMAKE_BINARY_DIR}/docs/vextal.1 @ONLY)

if(WIN32)
    # A Windows user unpacks one folder: the program beside its documents.
    install(TARGETS vextal RUNTIME DESTINATION .)
    install(FILES README.md LICENSE DESTINATION .)
    install(FILES ${vextal_linked_docs} DESTINATION docs)
    install(FILES examples/sensor_10_80.msm DESTINATION examples)
    return()
endif()

install(TARGETS vextal RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${vextal_linked_docs} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
# Where bash-completion looks for a command's completion when it is first
# used.
install(FILES completion/vextal DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES examples/sensor_10_80.msm DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# A Debian system looks for the licence in doc/<package>/copyright, in the
# machine-readable form, and for manual pages and changelogs compressed.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX REPLACE "^MIT License\n\nCopyright \\(c\\) ([^\n]*)\n\n" "" licence_terms "${licence}")
set(licence_holder ${CMAKE_MATCH_1})
string(REGEX REPLACE "\n\n" "\n.\n" licence_terms "${licence_terms}")
string(REGEX REPLACE "\n([^\n])" "\n \\1" licence_terms " ${licence_terms}")
file(WRITE ${CMAKE_BINARY_DIR}/docs/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: vextal\n"
     "\n"
     "Files: *\n"
     "Copyright: ${licence_holder}\n"
     "License: Expat\n"
     "${licence_terms}")
install(FILES ${CMAKE_BINARY_DIR}/docs/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

find_program(VEXTAL_GZIP gzip)
if(VEXTAL_GZIP)
    # -n: no name and no time stamp in the archive, so a rebuild is identical.
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/docs/vextal.1.gz
        COMMAND ${VEXTAL_GZIP} -9nc ${CMAKE_BINARY_DIR}/docs/vextal.1 > vextal.1.gz
        DEPENDS ${CMAKE_BINARY_DIR}/docs/vextal.1
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/docs)
    # The changelog of the package: one entry for the version.
    file(WRITE ${CMAKE_BINARY_DIR}/docs/changelog
         "vextal (${PROJECT_VERSION}) unstable; urgency=low\n"
         "\n"
         "  * Release ${PROJECT_VERSION}.\n"
         "\n"
         " -- The Vextal developers <vextal@example.org>  Mon, 07 Dec 2026 12:00:00 +0000\n")
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/docs/changelog.gz
        COMMAND ${VEXTAL_GZIP} -9nc ${CMAKE_BINARY_DIR}/docs/changelog > changelog.gz
        DEPENDS ${CMAKE_BINARY_DIR}/docs/changelog
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/docs)
    add_custom_target(compressed_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/docs/vextal.1.gz
                                                  ${CMAKE_BINARY_DIR}/docs/changelog.gz)
    install(FILES ${CMAKE_BINARY_DIR}/docs/vextal.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${CMAKE_BINARY_DIR}/docs/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
    install(FILES ${CMAKE_BINARY_DIR}/docs/vextal.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
