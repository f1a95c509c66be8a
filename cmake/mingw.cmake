# Cross-compiles for Windows with mingw-w64. MINGW_TRIPLE picks the target:
# i686-w64-mingw32 (32-bit, the default) or x86_64-w64-mingw32 (64-bit).
set(MINGW_TRIPLE "i686-w64-mingw32" CACHE STRING "mingw-w64 target triple")

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
