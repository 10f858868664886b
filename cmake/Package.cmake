# `cpack -G DEB` in the build folder (`make deb`) packs what Install.cmake installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quilmar)
# Debian versions carry three parts; the project states two while it has no patch releases.
if(PROJECT_VERSION_PATCH STREQUAL "")
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0)
else()
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
endif()
set(CPACK_PACKAGE_VENDOR "Quilmar developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "annotate a frozen screen while teaching")
# The long description; CPack puts the summary above it as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quilmar waits as a small marker window and a tray icon. Ctrl+F1 freezes the
screen into a window to draw on: freehand strokes, lines, rectangles,
ellipses, an eraser that brings the frozen picture back, captions (Chinese
too, through the input method), a white board, and whole-screen save and
load. Ctrl+F1 again gives the desktop back.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quilmar developers")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Qt and the other libraries come from dpkg-shlibdeps; the font is loaded at run time: captions
# fall back to it for Chinese glyphs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-wqy-microhei)
# The help window's title in a brush face; without it a plain face stands in.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-arphic-ukai)

include(CPack)
