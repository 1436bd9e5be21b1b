# Cross-builds the 32-bit Windows plug-in (rondel~.m_i386) with Debian's
# MinGW-w64. Float arithmetic in SSE2 registers, as on Linux i386.
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RONDEL_TRIPLE i686-w64-mingw32)
set(RONDEL_COMPILER_SUFFIX -posix)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/cross-tools.cmake)
