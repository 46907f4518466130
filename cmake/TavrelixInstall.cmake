# The installed layout and the Debian package.
#
#   PREFIX/lib/tavrelix/          the executable, liboci.so, data/, scmlib/, doc/
#                                 (the program finds them beside itself; doc/manual.md
#                                 is the project's README, which the version box links to)
#   PREFIX/bin/tavrelix           a symbolic link to it (the program reads its
#                                 directory from /proc/self/exe, the link resolved)
#   PREFIX/share/applications/    org.tavrelix.tavrelix.desktop
#   PREFIX/share/icons/hicolor/   the program icon, SVG and 48/128/256 PNG
#   PREFIX/share/metainfo/        org.tavrelix.tavrelix.metainfo.xml
#   PREFIX/share/mime/packages/   tavrelix.xml, the search-condition files
#   PREFIX/share/doc/tavrelix/    copyright, changelog.Debian.gz
#
# Nothing of the tests (the stand-in's variant libraries, the test and
# benchmark programs) is installed.
include(GNUInstallDirs)

set(TAVRELIX_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/tavrelix)
# The date of the version above, for the AppStream release entry.
set(TAVRELIX_RELEASE_DATE 2026-12-09)
# AppStream takes screenshots by web address only: a packager who publishes
# doc/screenshot-main.png names the folder holding it here.
set(TAVRELIX_SCREENSHOT_URL "" CACHE STRING "Web folder holding screenshot-main.png, for the AppStream data")

if(TARGET tavrelix)
  set_target_properties(tavrelix PROPERTIES INSTALL_RPATH "")
  install(TARGETS tavrelix RUNTIME DESTINATION ${TAVRELIX_INSTALL_DIR})
endif()
if(TARGET oci)
  install(TARGETS oci LIBRARY DESTINATION ${TAVRELIX_INSTALL_DIR} NAMELINK_SKIP)
endif()
foreach(dir data scmlib doc)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${dir})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/${dir} DESTINATION ${TAVRELIX_INSTALL_DIR}
            PATTERN "README.md" EXCLUDE)
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${TAVRELIX_INSTALL_DIR}/doc RENAME manual.md)

set(link ${CMAKE_CURRENT_BINARY_DIR}/install/tavrelix)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/install)
file(CREATE_LINK ../${TAVRELIX_INSTALL_DIR}/tavrelix ${link} SYMBOLIC)
install(FILES ${link} DESTINATION ${CMAKE_INSTALL_BINDIR})

set(res ${PROJECT_SOURCE_DIR}/res)
install(FILES ${res}/org.tavrelix.tavrelix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${res}/tavrelix.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128 256)
  install(FILES ${res}/icons/tavrelix-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tavrelix.png)
endforeach()
install(FILES ${res}/tavrelix.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME tavrelix.xml)

set(TAVRELIX_METAINFO_SCREENSHOTS "")
if(TAVRELIX_SCREENSHOT_URL)
  string(CONCAT TAVRELIX_METAINFO_SCREENSHOTS
         "  <screenshots>\n    <screenshot type=\"default\">\n      <caption>The main window</caption>\n"
         "      <image>${TAVRELIX_SCREENSHOT_URL}/screenshot-main.png</image>\n    </screenshot>\n  </screenshots>\n")
endif()
configure_file(${res}/org.tavrelix.tavrelix.metainfo.xml.in
               ${CMAKE_CURRENT_BINARY_DIR}/install/org.tavrelix.tavrelix.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/install/org.tavrelix.tavrelix.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian's documentation files: the copyright file and a compressed changelog.
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/install/changelog.Debian)
configure_file(${res}/changelog.Debian.in ${changelog} @ONLY)
find_program(TAVRELIX_GZIP gzip)
if(TAVRELIX_GZIP)
  add_custom_command(OUTPUT ${changelog}.gz COMMAND ${TAVRELIX_GZIP} -9nf -k ${changelog}
                     DEPENDS ${changelog} VERBATIM)
  add_custom_target(tavrelix_changelog ALL DEPENDS ${changelog}.gz)
  install(FILES ${changelog}.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrelix)
endif()
install(FILES ${res}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrelix)

# The Debian package (scripts/package.sh): Depends from the binaries'
# libraries, plus the font every Japanese text is drawn in.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrelix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "tavrelix developers")
set(CPACK_PACKAGE_CONTACT "tavrelix maintainers <maintainers@users.noreply.c-seed-452d7f75.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Japanese-language editor of Oracle table data")
# Lines of at most 72 columns: the package tools indent them by one, and
# the description's lines stay within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop editor of Oracle table data, in Japanese. A user logs on,
picks a table, view or synonym, its columns, a WHERE and an ORDER BY;
the rows are fetched behind a cancellable progress dialog, shown in a
spreadsheet-like grid, edited in place and written back as DELETE,
UPDATE and INSERT under a savepoint and a commit. Search conditions are
saved in files that reopen the query. An embedded Scheme dialect runs
macros against the grid.
.
The package includes a client library over SQLite with a DEMO service,
used when no Oracle client is named in the settings.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
