# Install rules and the CMake package `velda`:
#   find_package(velda CONFIG REQUIRED)
#   target_link_libraries(app PRIVATE velda::capture)
# velda::capture carries the public headers and, where winsim stands in for the SDK, velda::winsim
# with the SDK-named headers; on Windows it links the system's Direct3D and DXGI libraries.
include(CMakePackageConfigHelpers)

set(VELDA_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/velda" CACHE STRING
    "Where the CMake package files are installed, relative to the prefix")

install(TARGETS velda_capture EXPORT velda-targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY capture/include/velda DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(VELDA_WITH_WINSIM OFF)
if(TARGET winsim)
  set(VELDA_WITH_WINSIM ON)
  install(TARGETS winsim EXPORT velda-targets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(DIRECTORY winsim/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/winsim)
endif()

install(TARGETS vram_test velda_snapshot vram_chart RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(EXPORT velda-targets NAMESPACE velda:: FILE velda-targets.cmake DESTINATION ${VELDA_INSTALL_CMAKEDIR})
configure_package_config_file(cmake/velda-config.cmake.in ${PROJECT_BINARY_DIR}/velda-config.cmake
  INSTALL_DESTINATION ${VELDA_INSTALL_CMAKEDIR})
# 0.x: a minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/velda-config-version.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/velda-config.cmake ${PROJECT_BINARY_DIR}/velda-config-version.cmake
  DESTINATION ${VELDA_INSTALL_CMAKEDIR})
