# Installs the shared library, the public headers, a CMake config package (find_package(ddtable))
# and a pkg-config file (pkg-config --cflags --libs ddtable).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS ddtable EXPORT ddtableTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ddtable DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT ddtableTargets NAMESPACE ddtable:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ddtable)

file(WRITE ${PROJECT_BINARY_DIR}/ddtableConfig.cmake.in
  "@PACKAGE_INIT@\ninclude(\"\${CMAKE_CURRENT_LIST_DIR}/ddtableTargets.cmake\")\n")
configure_package_config_file(${PROJECT_BINARY_DIR}/ddtableConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ddtableConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ddtable)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ddtableConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ddtableConfig.cmake ${PROJECT_BINARY_DIR}/ddtableConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ddtable)

configure_file(${PROJECT_SOURCE_DIR}/cmake/ddtable.pc.in ${PROJECT_BINARY_DIR}/ddtable.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/ddtable.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
