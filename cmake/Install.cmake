# Installs the shared library, the public headers, a CMake config package (find_package(ddtable))
# and a pkg-config file (pkg-config --cflags --libs ddtable). Both packages are relocatable:
# they find the prefix from their own place, so an installed tree can be moved.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS ddtable EXPORT ddtableTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ddtable DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
install(EXPORT ddtableTargets NAMESPACE ddtable:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ddtable)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ddtableConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ddtableConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ddtable)
# Before 1.0 a new minor version may break the interface (see the SONAME).
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(DDT_COMPATIBILITY SameMinorVersion)
else()
  set(DDT_COMPATIBILITY SameMajorVersion)
endif()
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ddtableConfigVersion.cmake
  COMPATIBILITY ${DDT_COMPATIBILITY})
install(FILES ${PROJECT_BINARY_DIR}/ddtableConfig.cmake ${PROJECT_BINARY_DIR}/ddtableConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ddtable)

# pkg-config: the prefix is the .pc file's folder (${pcfiledir}) followed by as many ".." as
# the library folder is deep.
set(DDT_PC_LIBDIR ${CMAKE_INSTALL_LIBDIR})
set(DDT_PC_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(DDT_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
else()
  file(RELATIVE_PATH DDT_PC_UP /ddt-root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /ddt-root)
  set(DDT_PC_PREFIX "\${pcfiledir}/${DDT_PC_UP}")
  string(REGEX REPLACE "/$" "" DDT_PC_PREFIX "${DDT_PC_PREFIX}")
  set(DDT_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(DDT_PC_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
else()
  set(DDT_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/ddtable.pc.in ${PROJECT_BINARY_DIR}/ddtable.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/ddtable.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
