# What `cmake --install` puts under the prefix: the program, its desktop entry and its icon in
# the hicolor theme, and an example entry for starting at login. Nothing else of the build (tests,
# benchmarks, libraries) is installed.
include(GNUInstallDirs)

# Installing and packaging take the build as it is: `make install` and `make deb` build first,
# and packaging in a test must not rebuild the tree the other tests are running from.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(QUILMAR_DESKTOP_DIR ${CMAKE_SOURCE_DIR}/resources/desktop)
# Rendered from the SVG sources by resources/desktop/render-icons; every size a desktop asks for.
set(QUILMAR_ICON_SIZES 16 22 24 32 48 64 128 256)

install(TARGETS quilmar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${QUILMAR_DESKTOP_DIR}/quilmar.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size IN LISTS QUILMAR_ICON_SIZES)
  install(FILES ${QUILMAR_DESKTOP_DIR}/png/quilmar-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME quilmar.png)
endforeach()
install(FILES ${QUILMAR_DESKTOP_DIR}/quilmar.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Not under share/doc: minimal systems leave that folder out when packages are installed.
install(FILES ${QUILMAR_DESKTOP_DIR}/quilmar-autostart.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/quilmar/autostart
  RENAME quilmar.desktop)
