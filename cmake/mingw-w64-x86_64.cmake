# Cross-build for 64-bit Windows with Debian's MinGW-w64 compilers (the posix
# thread model, which std::thread and std::mutex need), tests run under wine:
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#   cmake --build build-win && ctest --test-dir build-win
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

# Headers, libraries and packages come from the MinGW tree (and any prefix
# given in CMAKE_FIND_ROOT_PATH on the command line), programs from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in, so the programs run under wine
# or on a bare Windows machine without DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# ctest (and gtest_discover_tests) run the .exe files through wine; the wine
# or wine64 package provides it. WINEDEBUG=-all keeps wine's own notes out of
# the test output.
find_program(WINE_PROGRAM NAMES wine wine64 wine-stable)
find_program(ENV_PROGRAM NAMES env)
if(WINE_PROGRAM AND ENV_PROGRAM)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ENV_PROGRAM} WINEDEBUG=-all ${WINE_PROGRAM})
elseif(WINE_PROGRAM)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
