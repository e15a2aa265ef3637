# The Debian package, made by `cpack -G DEB` in the release build
# (scripts/package.sh). Everything the install rules lay out under the
# prefix goes into it, under /usr.

# Debian wants a native package's changelog and the manual pages gzipped,
# without a time stamp so that two builds give the same bytes.
find_program(GZIP gzip REQUIRED)
execute_process(COMMAND date -u -R -d ${MZB_RELEASE_DATE}
                OUTPUT_VARIABLE MZB_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${packaging_out}/changelog @ONLY)
set(gzipped ${packaging_out}/changelog.gz)
add_custom_command(OUTPUT ${packaging_out}/changelog.gz
    COMMAND ${GZIP} -9nkf ${packaging_out}/changelog
    DEPENDS ${packaging_out}/changelog VERBATIM)
foreach(page mzb mzbackup)
    configure_file(${CMAKE_SOURCE_DIR}/docs/man/${page}.1.in ${packaging_out}/man/${page}.1 @ONLY)
    add_custom_command(OUTPUT ${packaging_out}/man/${page}.1.gz
        COMMAND ${GZIP} -9nkf ${packaging_out}/man/${page}.1
        DEPENDS ${packaging_out}/man/${page}.1 VERBATIM)
    list(APPEND gzipped ${packaging_out}/man/${page}.1.gz)
    install(FILES ${packaging_out}/man/${page}.1.gz DESTINATION share/man/man1)
endforeach()
add_custom_target(gzipped_docs ALL DEPENDS ${gzipped})

set(metainfo com.example.morvaleen_zip_backup.metainfo.xml)
configure_file(${CMAKE_SOURCE_DIR}/desktop/${metainfo}.in ${packaging_out}/${metainfo} @ONLY)
install(FILES ${packaging_out}/${metainfo} DESTINATION share/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/tools/completion/mzb.bash
        DESTINATION share/bash-completion/completions RENAME mzb)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${packaging_out}/changelog.gz
        DESTINATION share/doc/morvaleen-zip-backup)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvaleen-zip-backup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Morvaleen ZIP Backup developers <support@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "back up projects of files into ZIP archives")
set(CPACK_PACKAGE_DESCRIPTION "\
Morvaleen ZIP Backup is a single-user desktop backup utility. It packs the
files of named backup projects into standard ZIP archives, which every other
ZIP tool opens, restores them, runs scheduled backups from the notification
area, and comes with mzb, a command-line tool for scripts and machines
without a desktop.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.example.com/morvaleen-zip-backup/")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the binaries link come from dpkg-shlibdeps. Qt loads its
# platform and SVG plugins at run time, which no linker sees: without them
# the window cannot open or its icons are blank. The user guide and the
# about box's links open in the desktop's default handler. rclone copies
# archives to remote storage, which a user may never set up.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "rclone")
include(CPack)
