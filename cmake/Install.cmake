include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS brxsdk EXPORT BRXSDKTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT BRXSDKTargets NAMESPACE BRXSDK::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/BRXSDK)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/BRXSDKConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/BRXSDKConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/BRXSDK)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/BRXSDKConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/BRXSDKConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/BRXSDKConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/BRXSDK)

# The pkg-config file finds the prefix from its own place, so that the tree
# works wherever it is installed (cmake --install --prefix) or moved.
set(brx_pc_prefix "${CMAKE_INSTALL_PREFIX}")
if(NOT IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  file(RELATIVE_PATH brx_pc_up "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" brx_pc_up "${brx_pc_up}")
  set(brx_pc_prefix "\${pcfiledir}/${brx_pc_up}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/brxsdk.pc.in ${CMAKE_CURRENT_BINARY_DIR}/brxsdk.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/brxsdk.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
