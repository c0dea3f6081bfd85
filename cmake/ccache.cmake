# Compiles go through ccache when the machine has it (scripts/setup installs it), so that a fresh
# checkout, a second build folder with the same flags or the next CI run recompiles only what changed.
# Paths are taken relative to the checkout and the build folder is left out of the hash, so that one
# checkout's objects serve another's. A launcher given on the command line wins; LOTTERY_CCACHE=OFF
# turns it off.
option(LOTTERY_CCACHE "Compile through ccache when it is installed" ON)
if(LOTTERY_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
    find_program(LOTTERY_CCACHE_PROGRAM ccache)
    if(LOTTERY_CCACHE_PROGRAM)
        get_filename_component(lottery_checkout ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
        set(lottery_launcher ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${lottery_checkout} CCACHE_NOHASHDIR=1
                             ${LOTTERY_CCACHE_PROGRAM})
        set(CMAKE_CXX_COMPILER_LAUNCHER ${lottery_launcher})
        set(CMAKE_C_COMPILER_LAUNCHER ${lottery_launcher})
    endif()
endif()
