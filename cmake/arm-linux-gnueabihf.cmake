# Linux armhf (Raspberry Pi OS 32-bit on a Pi 2 or later, Debian armhf): the
# Debian baseline, ARMv7-A with VFPv3-D16 and hard-float calls. No NEON: its
# float arithmetic flushes denormals to zero, VFP's does not.
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(RONDEL_TRIPLE arm-linux-gnueabihf)
set(CMAKE_C_FLAGS_INIT "-march=armv7-a+fp -mfpu=vfpv3-d16 -mfloat-abi=hard")
set(CMAKE_CXX_FLAGS_INIT "-march=armv7-a+fp -mfpu=vfpv3-d16 -mfloat-abi=hard")
include(${CMAKE_CURRENT_LIST_DIR}/cross-tools.cmake)
