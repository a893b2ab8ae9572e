# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The executables are linked statically: each .exe needs no DLL beside it,
# only the system's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LOCBENCH_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LOCBENCH_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LOCBENCH_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${LOCBENCH_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LOCBENCH_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# No time stamp in the .exe header: the same sources give the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
# The C99 printf of MinGW-w64 ("%zu", "%lld"), the same as on every system.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)
