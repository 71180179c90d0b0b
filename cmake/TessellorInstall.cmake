# cmake --install: the core libraries, their headers under include/tessellor, the command-line
# tool, a CMake package (find_package(Tessellor) -> Tessellor::tessellor) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

get_property(tessellor_libraries GLOBAL PROPERTY TESSELLOR_LIBRARIES)
install(TARGETS ${tessellor_libraries} tessellor_lib
  EXPORT TessellorTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS tessellor-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/core/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tessellor
  FILES_MATCHING PATTERN "*.h")

set(TESSELLOR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tessellor)
install(EXPORT TessellorTargets NAMESPACE Tessellor:: DESTINATION ${TESSELLOR_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TessellorConfig.cmake.in
  ${PROJECT_BINARY_DIR}/TessellorConfig.cmake INSTALL_DESTINATION ${TESSELLOR_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TessellorConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TessellorConfig.cmake ${PROJECT_BINARY_DIR}/TessellorConfigVersion.cmake
  DESTINATION ${TESSELLOR_CMAKE_DIR})

# Static libraries: pkg-config lists them from the top layer down.
set(TESSELLOR_PC_LIBS "")
foreach(lib tessellor_api tessellor_pipeline tessellor_extract tessellor_postprocess tessellor_volume
            tessellor_mesh tessellor_algebra tessellor_base)
  string(APPEND TESSELLOR_PC_LIBS " -l${lib}")
endforeach()
if(TESSELLOR_PARALLEL)
  string(APPEND TESSELLOR_PC_LIBS " -ltbb")
endif()
# The prefix is found relative to the .pc file, so a copied or relocated install still works.
file(RELATIVE_PATH TESSELLOR_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/tessellor.pc.in ${PROJECT_BINARY_DIR}/tessellor.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tessellor.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
