/* rondel~'s perform routines on AVX2 lanes. This file alone is compiled for
AVX2; the plug-in calls into it only where the CPU has AVX2. */

#include "rondel_tilde.h"

#if RONDEL_DISPATCH
#if !RONDEL_HAVE_AVX2
#error "build this file with AVX2 enabled (-mavx2)"
#endif
const t_rondel_performers rondel_performers_avx2 = rondel_performers<rondel::lanes::Avx2>;
#endif
