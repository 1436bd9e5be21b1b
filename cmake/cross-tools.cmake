# Shared part of the toolchain files: Debian's cross tools for RONDEL_TRIPLE
# (compilers named with RONDEL_COMPILER_SUFFIX, e.g. MinGW-w64's -posix),
# whose libraries and headers live under /usr/RONDEL_TRIPLE. Programs built
# for another CPU run under qemu-user, Windows ones under Wine (see scripts/).
set(CMAKE_C_COMPILER ${RONDEL_TRIPLE}-gcc${RONDEL_COMPILER_SUFFIX})
set(CMAKE_CXX_COMPILER ${RONDEL_TRIPLE}-g++${RONDEL_COMPILER_SUFFIX})
set(CMAKE_OBJDUMP ${RONDEL_TRIPLE}-objdump)
set(CMAKE_NM ${RONDEL_TRIPLE}-nm)
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(CMAKE_RC_COMPILER ${RONDEL_TRIPLE}-windres)
  set(CMAKE_DLLTOOL ${RONDEL_TRIPLE}-dlltool)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${RONDEL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
