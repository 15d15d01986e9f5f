# What cmake --install puts where, and the Debian package CPack builds from it.
include(GNUInstallDirs)

set(KM_DATA ${PROJECT_SOURCE_DIR}/data)

install(TARGETS klangmappe klangmappe-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (cpack strips) also drops what Debian's own packages drop.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program klangmappe klangmappe-cli)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

install(FILES ${KM_DATA}/Klangmappe.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KM_DATA}/de.fennwick.Klangmappe.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# "Mit Klangmappe öffnen" in the folder menu of KDE's file managers; a launcher
# naming inode/directory would make Klangmappe the program that opens folders.
install(FILES ${KM_DATA}/klangmappe-ordner.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/kio/servicemenus)
# The PNGs are rendered from the SVG by tools/render-icons.sh and kept with it.
install(DIRECTORY ${KM_DATA}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# Manual pages and the changelog are installed compressed as Debian wants them:
# gzip -9 without name and time, so that equal sources give equal packages.
function(km_gzip source result)
  get_filename_component(name ${source} NAME)
  set(target ${CMAKE_CURRENT_BINARY_DIR}/gz/${name}.gz)
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/gz)
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${target} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${source} failed")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  set(${result} ${target} PARENT_SCOPE)
endfunction()

# The pages are German only, like the program: under de/ for German locales,
# and the same pages as the fallback every other locale reads.
km_gzip(${KM_DATA}/klangmappe.1 KM_MAN_GUI)
km_gzip(${KM_DATA}/klangmappe-cli.1 KM_MAN_CLI)
install(FILES ${KM_MAN_GUI} ${KM_MAN_CLI} DESTINATION ${CMAKE_INSTALL_MANDIR}/de/man1)
install(FILES ${KM_MAN_GUI} ${KM_MAN_CLI} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(KM_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/klangmappe)
km_gzip(${KM_DATA}/debian/changelog KM_CHANGELOG)
install(FILES ${KM_DATA}/debian/copyright ${KM_CHANGELOG} DESTINATION ${KM_DOCDIR})
install(FILES ${KM_DATA}/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME klangmappe)

# cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME klangmappe)
set(CPACK_PACKAGE_VENDOR Fennwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Fennwick <klangmappe@fennwick.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ID3v1 tag editor for MP3 files")
# Debian shows the lines as they are: keep them short.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Klangmappe shows every MP3 file of a folder with its ID3v1 tag, MPEG stream"
  "properties, playing time, size and date, and edits the tags of one file or"
  "many at once, with undo. It fills tags from file names, renames files after"
  "their tags, changes the case of texts and exports the list as an HTML page,"
  "an M3U playlist or a spreadsheet. The user interface is German."
  ""
  "The command-line program klangmappe-cli reads, lists, writes and renames"
  "the same way without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Qt, GLib, zlib and libxlsxwriter come from the binaries' links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, which no link shows: the commands' pictures come from
# Breeze as SVG, and Qt's dialogs take their German texts from the translations.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "breeze-icon-theme, libqt6svg6, qt6-translations-l10n")
# Native Wayland windows, and xdg-open behind opening files and web pages.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
include(CPack)
