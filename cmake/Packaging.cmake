# A Debian package of the installed files, built by scripts/package.sh with
# CPack. Its library dependencies are found by dpkg-shlibdeps; the fonts
# and the desktop database tools are used at run time only, so they are named
# here as recommendations.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tqf-editor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for libraries of SECS-II message formats")
set(CPACK_PACKAGE_DESCRIPTION
    "TQF Editor builds libraries of SECS-II message format definitions kept in
.TQF files: messages with their stream, function and reply flag, and the
tree of items each carries. tqf-tool checks and normalises the same files
from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "TQF Editor developers <tqf-editor@example.org>"
    CACHE STRING "Maintainer named in the Debian package")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TQF_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, fonts-nanum, shared-mime-info, desktop-file-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/dist/debian/postinst ${PROJECT_SOURCE_DIR}/dist/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
