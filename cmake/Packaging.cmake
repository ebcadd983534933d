# Desktop integration files, the man page, and the Debian package.
#
# Included at the end of the top-level CMakeLists.txt, after every target is
# known. Caches (MIME database, desktop database, icon cache) are not updated
# here: Debian's shared-mime-info, desktop-file-utils and hicolor triggers do
# that for the package, and the README gives the commands for a source install.

set(CMBVIEWER_APP_ID "org.cmbviewer.CmbViewer")
set(_linux "${PROJECT_SOURCE_DIR}/resources/linux")

# gzip -n: no name or time stamp in the result, so builds are reproducible.
function(cmb_gzip source output)
    add_custom_command(
        OUTPUT "${output}"
        COMMAND gzip -9n -c "${source}" > "${output}"
        DEPENDS "${source}"
        VERBATIM)
endfunction()

# The man pages carry the project's version, so they are configured; Debian
# expects them and the changelog compressed.
set(_gz "${PROJECT_BINARY_DIR}/packaging")
set(_manpages cmbtool)
if(TARGET cmbviewer)
    list(APPEND _manpages cmbviewer)
endif()
set(_compressed "${_gz}/changelog.gz")
cmb_gzip("${_linux}/changelog" "${_gz}/changelog.gz")
foreach(_page IN LISTS _manpages)
    configure_file("${_linux}/${_page}.1.in" "${_gz}/${_page}.1" @ONLY)
    cmb_gzip("${_gz}/${_page}.1" "${_gz}/${_page}.1.gz")
    list(APPEND _compressed "${_gz}/${_page}.1.gz")
    install(FILES "${_gz}/${_page}.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endforeach()
add_custom_target(cmb-compressed-docs ALL DEPENDS ${_compressed})

# The desktop files describe the window; without it they would point at nothing.
if(TARGET cmbviewer)
    install(FILES "${_linux}/${CMBVIEWER_APP_ID}.desktop"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    install(FILES "${_linux}/${CMBVIEWER_APP_ID}.metainfo.xml"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
    install(FILES "${_linux}/${CMBVIEWER_APP_ID}.xml"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages")
    install(FILES "${PROJECT_SOURCE_DIR}/resources/cmbviewer.svg"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
            RENAME "${CMBVIEWER_APP_ID}.svg")
endif()

# Debian looks for the licence and the changelog under these exact names.
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/cmbviewer"
        RENAME copyright)
install(FILES "${_gz}/changelog.gz" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/cmbviewer")

# Debian package: cpack -G DEB in a (release) build folder.
set(CPACK_PACKAGE_NAME "cmbviewer")
set(CPACK_PACKAGE_VENDOR "The cmbViewer developers")
set(CPACK_PACKAGE_CONTACT "The cmbViewer developers <cmbviewer@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and extractor for .cmb archives")
# Wrapped by hand: Debian shows the extended description as it is.
set(CPACK_PACKAGE_DESCRIPTION [=[cmbViewer opens the index of a .cmb archive (a text index, usually
Shift-JIS, and a data file beside it), lists its entries, writes selected
entries into a folder with their sub-folders, and opens an entry with its
desktop application. Entry names that would write outside the chosen folder
are refused.

The package also contains cmbtool, which lists, extracts and checks archives
from the command line.]=])
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# Shared-library dependencies come from dpkg-shlibdeps. The plugins Qt loads at
# run time are not linked, so the window's are named here: the platform plugins
# (it cannot open without them) and the SVG plugins (its icon). Its texts are
# Japanese, and xdg-open hands entries to their applications.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET cmbviewer)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk, xdg-utils")
endif()

set(CPACK_GENERATOR "DEB")
include(CPack)
