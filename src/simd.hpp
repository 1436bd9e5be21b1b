// Which vector path the perform routines take on this CPU. Every path gives
// the same bits; the wider ones are only faster.
#pragma once

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace rondel {

/// A set of perform routines, by the vector instructions it uses.
enum class Simd { portable, sse2, avx2 };

/// Name of a path, as `RONDEL_SIMD` and the console spell it.
inline const char* simd_name(Simd s)
{
    return s == Simd::avx2 ? "avx2" : s == Simd::sse2 ? "sse2" : "portable";
}

/// Whether this CPU and its operating system run AVX2 code: the CPU has
/// AVX2, and the system saves the wide registers on a task switch.
inline bool cpu_has_avx2()
{
#if defined(__i386__) || defined(__x86_64__)
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    const bool avx = (c & bit_AVX) != 0, osxsave = (c & bit_OSXSAVE) != 0;
    if (!avx || !osxsave || __get_cpuid_max(0, nullptr) < 7)
        return false;
    unsigned xcr0_lo, xcr0_hi;
    __asm__("xgetbv" : "=a"(xcr0_lo), "=d"(xcr0_hi) : "c"(0));
    if ((xcr0_lo & 6u) != 6u)  // SSE and AVX state
        return false;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & bit_AVX2) != 0;
#else
    return false;
#endif
}

/// The path an x86 build takes: AVX2 where this CPU runs it, unless
/// `wanted` (the RONDEL_SIMD environment variable, to compare paths) names
/// the SSE2 baseline.
inline Simd x86_path(const char* wanted)
{
    const bool baseline = wanted && std::strcmp(wanted, simd_name(Simd::sse2)) == 0;
    return cpu_has_avx2() && !baseline ? Simd::avx2 : Simd::sse2;
}

}  // namespace rondel
