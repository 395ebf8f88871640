# Installs the library as a package: the headers under include/morvix (included as from the
# source tree; "library/Morvix.h" brings what an application needs), the library, a CMake
# package (`find_package(Morvix)`, target `Morvix::morvix`) and a pkg-config file (`morvix.pc`).

include(CMakePackageConfigHelpers)

foreach(dir platform core networking Libraries widgets shell services library)
    if(EXISTS ${PROJECT_SOURCE_DIR}/${dir})
        install(DIRECTORY ${PROJECT_SOURCE_DIR}/${dir}
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/morvix
            FILES_MATCHING PATTERN "*.h")
    endif()
endforeach()

# The build keeps its debug information; the installed library is stripped of it unless
# MORVIX_INSTALL_STRIPPED is off (the shared library's debug information alone is hundreds of
# megabytes). The install script runs these lines in order, so the flag holds for the library.
option(MORVIX_INSTALL_STRIPPED "Strip debug information from the installed library" ON)
if(MORVIX_INSTALL_STRIPPED)
    install(CODE "set(CMAKE_INSTALL_DO_STRIP ON)")
endif()
install(TARGETS morvix EXPORT MorvixTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/morvix)

set(MORVIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Morvix)
install(EXPORT MorvixTargets NAMESPACE Morvix:: DESTINATION ${MORVIX_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/MorvixConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/MorvixConfig.cmake
    INSTALL_DESTINATION ${MORVIX_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/MorvixConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/MorvixConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/MorvixConfigVersion.cmake
    DESTINATION ${MORVIX_CMAKE_DIR})

# The pkg-config file finds the prefix from its own place, so that it holds wherever the package
# is installed (`cmake --install --prefix` included).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(MORVIX_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
    file(RELATIVE_PATH pc_to_prefix "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
    set(MORVIX_PC_PREFIX "\${pcfiledir}/${pc_to_prefix}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/morvix.pc.in ${CMAKE_CURRENT_BINARY_DIR}/morvix.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/morvix.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
