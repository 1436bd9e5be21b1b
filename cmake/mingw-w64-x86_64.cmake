# Cross-builds the Windows plug-in for 64-bit Pd (rondel~.m_amd64, or with
# -DRONDEL_FLOATSIZE=64 rondel~.windows-amd64-64.dll for Pd64) with Debian's
# MinGW-w64:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#   cmake --build build-win
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RONDEL_TRIPLE x86_64-w64-mingw32)
set(RONDEL_COMPILER_SUFFIX -posix)
include(${CMAKE_CURRENT_LIST_DIR}/cross-tools.cmake)
