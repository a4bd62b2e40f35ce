# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix),
# tests run under Wine (Debian: wine64):
#
#   cmake -S . -B build-mingw -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake \
#       -DCMAKE_BUILD_TYPE=Release -DKEL_STD_GTEST_SOURCE_DIR=/usr/src/googletest
#
# or the preset mingw-w64. The library becomes libkel_std.dll with its import
# library libkel_std.dll.a; programs and DLLs all go to the build's bin/
# directory, where Windows looks for a program's DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix flavour of the compilers: std::thread and std::mutex need it.
set(kel_std_mingw_triplet x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${kel_std_mingw_triplet}-g++-posix ${kel_std_mingw_triplet}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${kel_std_mingw_triplet}-gcc-posix ${kel_std_mingw_triplet}-gcc REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${kel_std_mingw_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${kel_std_mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine, which finds the compiler's runtime DLLs
# (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll) through WINEPATH.
find_program(KEL_STD_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KEL_STD_WINE)
    set(kel_std_runtime_dirs "")
    foreach(dll libstdc++-6.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                        OUTPUT_VARIABLE kel_std_dll OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(IS_ABSOLUTE "${kel_std_dll}")
            get_filename_component(kel_std_dll_dir "${kel_std_dll}" DIRECTORY)
            list(APPEND kel_std_runtime_dirs "${kel_std_dll_dir}")
        endif()
    endforeach()
    list(JOIN kel_std_runtime_dirs ":" kel_std_runtime_dirs)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${KEL_STD_WINE} "${kel_std_runtime_dirs}")
endif()
