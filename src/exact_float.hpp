// The plug-in promises the same samples, bit for bit, on every build. A
// compiler that keeps float arithmetic in wider registers (x87 on 32-bit x86)
// rounds differently, so such a build stops here instead of shipping.
#pragma once

#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ != 0
#error "float arithmetic keeps excess precision (__FLT_EVAL_METHOD__ != 0): on 32-bit x86 build with -msse2 -mfpmath=sse (cmake/i686-linux-gnu.cmake, cmake/mingw-w64-i686.cmake)"
#endif
#if defined(__FAST_MATH__)
#error "-ffast-math changes results: build without it"
#endif
