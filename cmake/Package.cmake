# What is installed, where, and the Debian package made from it.
#
#   bin/                      hamhost, hamhost-gui
#   lib/hamhost/              the plug-ins (*.ext) and liboleaut
#   share/hamhost/            the shipped data (every file of data/)
#   share/applications/, share/icons/, share/man/man1/
#
# Programs look for liboleaut through $ORIGIN (RUNPATH) and for plug-ins and
# data relative to their real path (Platform/ProgramPaths).

set(_exe_rpath "$ORIGIN/${HAM_INSTALL_PLUGIN_RELDIR}")
foreach(_program hamhost hamhost-gui)
  if(TARGET ${_program})
    set_target_properties(${_program} PROPERTIES INSTALL_RPATH "${_exe_rpath}")
    target_compile_definitions(${_program} PRIVATE HAM_VERSION="${PROJECT_VERSION}")
    install(TARGETS ${_program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

get_property(_plugins GLOBAL PROPERTY HAM_PLUGINS)
foreach(_plugin IN LISTS _plugins)
  set_target_properties(${_plugin} PROPERTIES INSTALL_RPATH "$ORIGIN")
endforeach()
install(TARGETS oleaut ${_plugins} LIBRARY DESTINATION ${HAM_INSTALL_PLUGINDIR})

# Whatever data files the repository ships, with their notices.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${HAM_INSTALL_DATADIR} PATTERN CMakeLists.txt EXCLUDE)

# The man page, compressed as Debian wants it.
set(_man ${CMAKE_BINARY_DIR}/packaging/hamhost.1.gz)
add_custom_command(OUTPUT ${_man}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/packaging/hamhost.1 > ${_man}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/hamhost.1)
add_custom_target(hamhost_man ALL DEPENDS ${_man})
install(FILES ${_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TARGET hamhost-gui)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/hamhost-gui.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/hamhost.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hamhost)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zemrak bridge developers")
set(CPACK_PACKAGE_CONTACT "Zemrak bridge developers <zemrak-bridge@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "logging host with the Zemrak bridge plug-ins")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "logging host with the Zemrak bridge plug-ins
 hamhost (console) and hamhost-gui (desktop) load four plug-ins that move
 callbook and log data between the host database and the files of a
 separately installed Zemrak logger.")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Depends from the libraries the binaries link (dpkg-shlibdeps); liboleaut
# is the package's own, found through the RUNPATH.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
