# Cross build of gatewise.exe with mingw-w64 (posix threads), linked statically
# so that the program needs no DLL beside the system's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GATEWISE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${GATEWISE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GATEWISE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${GATEWISE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${GATEWISE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
