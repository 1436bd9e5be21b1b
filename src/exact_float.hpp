// The object promises the same output bits on every build. A compiler that
// keeps float or double intermediates at a wider precision (x87 on 32-bit
// x86) rounds in other places, so such a build stops here instead of
// shipping output that differs.
#pragma once

#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ != 0
#error "rondel~ needs float and double arithmetic without excess precision (FLT_EVAL_METHOD 0); on 32-bit x86 build with -msse2 -mfpmath=sse"
#endif
#if defined(__FAST_MATH__)
#error "-ffast-math changes results: build without it"
#endif
