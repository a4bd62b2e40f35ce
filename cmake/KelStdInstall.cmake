# Install rules: headers, the shared library with its SONAME links, a CMake
# package (kel_std-config.cmake with a version file) and kel_std.pc, all in
# their GNUInstallDirs places.
include(CMakePackageConfigHelpers)

install(TARGETS kel_std
    EXPORT kel_std-targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/kel_std
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

set(KEL_STD_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kel_std)
install(EXPORT kel_std-targets
    NAMESPACE kel_std::
    DESTINATION ${KEL_STD_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kel_std-config.cmake.in
    ${PROJECT_BINARY_DIR}/kel_std-config.cmake
    INSTALL_DESTINATION ${KEL_STD_CMAKE_DIR})
# The major version is the SONAME: a consumer that asks for another major
# version is told that this one does not fit.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kel_std-config-version.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kel_std-config.cmake ${PROJECT_BINARY_DIR}/kel_std-config-version.cmake
    DESTINATION ${KEL_STD_CMAKE_DIR} COMPONENT development)

# pkg-config paths stay right whether the install dirs are relative (the
# usual case) or absolute.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(KEL_STD_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
    set(KEL_STD_PC_LIBDIR "\${exec_prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
    set(KEL_STD_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
    set(KEL_STD_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/kel_std.pc.in ${PROJECT_BINARY_DIR}/kel_std.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kel_std.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# gdb's pretty printers. gdb auto-loads <dir>/<real path of the library>-gdb.py
# for every <dir> of its auto-load scripts-directory, which is
# <gdb's data directory>/auto-load by default: the copy installed under this
# prefix's share/gdb/auto-load is found as it is when the prefix is gdb's own
# (/usr), and under any other prefix once that directory is added to gdb's
# scripts-directory and safe-path (README). The library's absolute install
# directory is part of the path; --prefix may change it at install time,
# hence the variable left for the install script to expand. A second copy
# under share/kel_std/gdb is for loading by hand.
if(WIN32)
    # Beside the DLL: gdb looks for <object file>-gdb.py in the object
    # file's own directory too, and Windows has no shared auto-load tree to
    # mirror the DLL's path into.
    set(KEL_STD_GDB_AUTO_LOAD_DIR "${CMAKE_INSTALL_BINDIR}")
elseif(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(KEL_STD_GDB_AUTO_LOAD_DIR "${CMAKE_INSTALL_DATADIR}/gdb/auto-load${CMAKE_INSTALL_LIBDIR}")
else()
    set(KEL_STD_GDB_AUTO_LOAD_DIR "${CMAKE_INSTALL_DATADIR}/gdb/auto-load\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}")
endif()
install(FILES $<TARGET_FILE:kel_std>-gdb.py DESTINATION ${KEL_STD_GDB_AUTO_LOAD_DIR} COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/gdb/kel_std_printers.py
    DESTINATION ${CMAKE_INSTALL_DATADIR}/kel_std/gdb COMPONENT development)
