// The lanes the ramp kernel runs on: how many samples one step handles and
// how a step loads, multiplies and stores them, for each instruction set.
// The kernel is written once over these; each layer only maps its handful
// of operations onto the machine.
//
// Every layer computes the same thing lane by lane, so every path gives the
// same bits: a ramp gain is float(start + j * step), the product and the sum
// in double precision, in that order, rounded to float once; a sample is
// input times gain, in the precision of the sample type.
#pragma once

#include "exact_float.hpp"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RONDEL_HAVE_SSE2 1
#endif
#if defined(__AVX2__)
#include <immintrin.h>
#define RONDEL_HAVE_AVX2 1
#endif

#if defined(__GNUC__)
#define RONDEL_INLINE inline __attribute__((always_inline))
#else
#define RONDEL_INLINE inline
#endif

namespace rondel::lanes {

/// One sample at a time, in plain C++: every CPU, every sample type.
template <typename Sample>
struct Portable {
    static constexpr int width = 1;     ///< samples per step
    using Samples = Sample;             ///< one step's samples
    using Double = double;              ///< a double in every lane
    using Counts = double;              ///< one step's sample numbers j

    static RONDEL_INLINE Samples load(const Sample* p) { return *p; }
    static RONDEL_INLINE void store(Sample* p, Samples v) { *p = v; }
    static RONDEL_INLINE Samples times(Samples x, Samples g) { return x * g; }
    /// A gain in every lane, as a sample.
    static RONDEL_INLINE Samples gain(float g) { return static_cast<Sample>(g); }
    static RONDEL_INLINE Double wide(double x) { return x; }
    /// Sample numbers j, j + 1, … of one step.
    static RONDEL_INLINE Counts counts(double j) { return j; }
    static RONDEL_INLINE Counts next(Counts j) { return j + 1.0; }
    /// float(start + j * step) in every lane, as samples.
    static RONDEL_INLINE Samples line(Double start, Double step, Counts j)
    {
        return static_cast<Sample>(static_cast<float>(start + j * step));
    }
};

#if RONDEL_HAVE_SSE2
/// Four float samples per step, SSE2: the baseline of every x86-64 CPU.
struct Sse2 {
    static constexpr int width = 4;
    using Samples = __m128;
    using Double = __m128d;
    struct Counts {
        __m128d lo, hi;
    };

    static RONDEL_INLINE Samples load(const float* p) { return _mm_loadu_ps(p); }
    static RONDEL_INLINE void store(float* p, Samples v) { _mm_storeu_ps(p, v); }
    static RONDEL_INLINE Samples times(Samples x, Samples g) { return _mm_mul_ps(x, g); }
    static RONDEL_INLINE Samples gain(float g) { return _mm_set1_ps(g); }
    static RONDEL_INLINE Double wide(double x) { return _mm_set1_pd(x); }
    static RONDEL_INLINE Counts counts(double j) { return {_mm_set_pd(j + 1, j), _mm_set_pd(j + 3, j + 2)}; }
    static RONDEL_INLINE Counts next(Counts j)
    {
        const __m128d w = _mm_set1_pd(4.0);
        return {_mm_add_pd(j.lo, w), _mm_add_pd(j.hi, w)};
    }
    static RONDEL_INLINE Samples line(Double start, Double step, Counts j)
    {
        const __m128 lo = _mm_cvtpd_ps(_mm_add_pd(start, _mm_mul_pd(j.lo, step)));
        const __m128 hi = _mm_cvtpd_ps(_mm_add_pd(start, _mm_mul_pd(j.hi, step)));
        return _mm_movelh_ps(lo, hi);
    }
};
#endif

#if RONDEL_HAVE_AVX2
/// Eight float samples per step, AVX2: chosen at run time where the CPU has it.
struct Avx2 {
    static constexpr int width = 8;
    using Samples = __m256;
    using Double = __m256d;
    struct Counts {
        __m256d lo, hi;
    };

    static RONDEL_INLINE Samples load(const float* p) { return _mm256_loadu_ps(p); }
    static RONDEL_INLINE void store(float* p, Samples v) { _mm256_storeu_ps(p, v); }
    static RONDEL_INLINE Samples times(Samples x, Samples g) { return _mm256_mul_ps(x, g); }
    static RONDEL_INLINE Samples gain(float g) { return _mm256_set1_ps(g); }
    static RONDEL_INLINE Double wide(double x) { return _mm256_set1_pd(x); }
    static RONDEL_INLINE Counts counts(double j)
    {
        return {_mm256_set_pd(j + 3, j + 2, j + 1, j), _mm256_set_pd(j + 7, j + 6, j + 5, j + 4)};
    }
    static RONDEL_INLINE Counts next(Counts j)
    {
        const __m256d w = _mm256_set1_pd(8.0);
        return {_mm256_add_pd(j.lo, w), _mm256_add_pd(j.hi, w)};
    }
    static RONDEL_INLINE Samples line(Double start, Double step, Counts j)
    {
        const __m128 lo = _mm256_cvtpd_ps(_mm256_add_pd(start, _mm256_mul_pd(j.lo, step)));
        const __m128 hi = _mm256_cvtpd_ps(_mm256_add_pd(start, _mm256_mul_pd(j.hi, step)));
        return _mm256_set_m128(hi, lo);
    }
};
#endif

}  // namespace rondel::lanes
