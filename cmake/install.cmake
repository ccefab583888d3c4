include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(MOSA_CONFIG_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/mosa_profile")

install(
  TARGETS mosa_package mosa_profile
  EXPORT mosa_profileTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(
  EXPORT mosa_profileTargets
  NAMESPACE mosa::
  DESTINATION ${MOSA_CONFIG_DIR})

configure_package_config_file(
  "${PROJECT_SOURCE_DIR}/cmake/mosa_profileConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/mosa_profileConfig.cmake"
  INSTALL_DESTINATION ${MOSA_CONFIG_DIR})
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/mosa_profileConfigVersion.cmake"
  COMPATIBILITY SameMinorVersion)

install(FILES "${PROJECT_BINARY_DIR}/mosa_profileConfig.cmake"
              "${PROJECT_BINARY_DIR}/mosa_profileConfigVersion.cmake"
        DESTINATION ${MOSA_CONFIG_DIR})
