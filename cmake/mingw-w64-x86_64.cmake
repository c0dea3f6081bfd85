# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX thread model, which
# C++'s std::thread and std::mutex need). ORVANTA_WINDOWS_PREFIX is where scripts/windows put
# the libraries built for Windows (a ;-separated list of folders); CMake and pkg-config look there and
# in MinGW's own folder, nowhere else on this system.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_AR ${MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT ORVANTA_WINDOWS_PREFIX AND DEFINED ENV{ORVANTA_WINDOWS_PREFIX})
    set(ORVANTA_WINDOWS_PREFIX $ENV{ORVANTA_WINDOWS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE} ${ORVANTA_WINDOWS_PREFIX})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORVANTA_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads only the libraries' own .pc files, never this system's.
set(_orvanta_pc_path "")
foreach(_orvanta_prefix IN LISTS ORVANTA_WINDOWS_PREFIX)
    list(APPEND _orvanta_pc_path ${_orvanta_prefix}/lib/pkgconfig)
endforeach()
string(REPLACE ";" ":" _orvanta_pc_path "${_orvanta_pc_path}")
set(ENV{PKG_CONFIG_LIBDIR} "${_orvanta_pc_path}")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
