# A Debian package of the installed files, built by scripts/package.sh with
# CPack. Its library dependencies are found by dpkg-shlibdeps; the fonts
# and the desktop database tools are used at run time only, so they are named
# here as recommendations.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tqf-editor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for libraries of SECS-II message formats")
# No line of the description may begin with a dot: the package's control file
# reads such a line as a paragraph break.
set(CPACK_PACKAGE_DESCRIPTION
    "TQF Editor builds libraries of SECS-II message format definitions kept in
TQF files: messages with their stream, function and reply flag, and the tree
of items each carries. The command-line companion tqf-tool checks and
normalises the same files and converts them to and from SML.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TQF_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TQF_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libfile-mimeinfo-perl lets xdg-open outside a desktop environment tell a
# library by the MIME database rather than take it for plain text.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-wine, fonts-nanum, shared-mime-info, desktop-file-utils, libfile-mimeinfo-perl")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/dist/debian/postinst ${PROJECT_SOURCE_DIR}/dist/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
