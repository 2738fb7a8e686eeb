# Installation: the shared library with its SONAME, the public header, the
# vexa tool, a pkg-config file and a CMake package (find_package(vexaio)
# giving the target vexaio::vexaio). Both descriptions find the installed
# files relative to themselves, so `cmake --install --prefix DIR` works for
# any DIR.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VEXA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vexaio)

set_target_properties(vexaio PROPERTIES PUBLIC_HEADER ${PROJECT_SOURCE_DIR}/include/vexaio.h)
install(TARGETS vexaio EXPORT vexaioTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT vexaioTargets NAMESPACE vexaio:: DESTINATION ${VEXA_CMAKE_DIR})

# The tool finds the library beside its own installation.
file(RELATIVE_PATH vexa_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set_target_properties(vexa PROPERTIES INSTALL_RPATH "$ORIGIN/${vexa_bin_to_lib}")
install(TARGETS vexa RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/vexaioConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/vexaioConfig.cmake
                              INSTALL_DESTINATION ${VEXA_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vexaioConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vexaioConfig.cmake
              ${PROJECT_BINARY_DIR}/vexaioConfigVersion.cmake
        DESTINATION ${VEXA_CMAKE_DIR})

# pkg-config: the prefix is found from the .pc file's own folder, unless a
# packager gave absolute folders.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(VEXA_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(VEXA_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(VEXA_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH up /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" up "${up}")
  set(VEXA_PC_PREFIX "\${pcfiledir}/${up}")
  set(VEXA_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(VEXA_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/vexaio.pc.in ${PROJECT_BINARY_DIR}/vexaio.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vexaio.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
