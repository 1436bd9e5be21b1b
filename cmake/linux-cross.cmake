# Shared part of the Linux cross toolchains: Debian's cross compilers for
# RONDEL_TRIPLE, whose libraries and headers live under /usr/RONDEL_TRIPLE.
# Programs built for the target run under qemu-user (see scripts/matrix.sh).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${RONDEL_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${RONDEL_TRIPLE}-g++)
set(CMAKE_OBJDUMP ${RONDEL_TRIPLE}-objdump)
set(CMAKE_NM ${RONDEL_TRIPLE}-nm)
set(CMAKE_FIND_ROOT_PATH /usr/${RONDEL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
