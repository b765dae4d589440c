# What both Windows cross-builds share (Debian's mingw-w64, posix thread
# model): the toolchain files name the processor and include this.
set(CMAKE_SYSTEM_NAME Windows)
set(ZK8_MINGW_TRIPLE ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${ZK8_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZK8_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZK8_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZK8_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
