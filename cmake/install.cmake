# Installs the public headers, libkzLib, a CMake package (find_package(kzLib)
# gives kzLib::kzLib) and a relocatable kzLib.pc.
include(CMakePackageConfigHelpers)

set(KZLIB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kzLib)
set(KZLIB_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS kzLib EXPORT kzLibTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES include/kzLib.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/kzLib DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} PATTERN "*.in" EXCLUDE)
install(FILES ${PROJECT_BINARY_DIR}/include/kzLib/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kzLib)

install(EXPORT kzLibTargets NAMESPACE kzLib:: DESTINATION ${KZLIB_CMAKE_DIR})
configure_package_config_file(cmake/kzLibConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/kzLibConfig.cmake
  INSTALL_DESTINATION ${KZLIB_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kzLibConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/kzLibConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/kzLibConfigVersion.cmake
  DESTINATION ${KZLIB_CMAKE_DIR})

# The .pc file finds its prefix from its own location, so the package can be
# installed under any --prefix.
file(RELATIVE_PATH KZLIB_PC_TO_PREFIX
  /prefix/${KZLIB_PKGCONFIG_DIR} /prefix)
string(REGEX REPLACE "/$" "" KZLIB_PC_TO_PREFIX "${KZLIB_PC_TO_PREFIX}")
configure_file(cmake/kzLib.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kzLib.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kzLib.pc DESTINATION ${KZLIB_PKGCONFIG_DIR})
