// The ramp kernel the object had before its gains were computed from the
// sample number: N float add chains side by side in SSE lanes, transposed
// four samples at a time. Kept only as the benchmark's yardstick: "today's
// ramp" in the ratios it prints. Not used by the object.
#pragma once

#include <cstdint>

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#define RONDEL_SSE 1
#endif
#if defined(__GNUC__) && !defined(RONDEL_INLINE)
#define RONDEL_INLINE inline __attribute__((always_inline))
#elif !defined(RONDEL_INLINE)
#define RONDEL_INLINE inline
#endif

#include "gain_law.hpp"

namespace rondel::accumulating {

using rondel::kMaxOutputs;

namespace detail {

RONDEL_INLINE void scale_apart(const float* __restrict in, float* __restrict out, int begin, int end, float g)
{
    for (int i = begin; i < end; ++i)
        out[i] = in[i] * g;
}

RONDEL_INLINE void scale_in_place(float* io, int begin, int end, float g)
{
    for (int i = begin; i < end; ++i)
        io[i] = io[i] * g;
}

// Constant gains over [begin, end), one output after the other: the output
// that shares the input's memory, if any, is written last so that every other
// output still reads the input. Best for long segments.
template <int N>
RONDEL_INLINE void hold_by_output(const float* in, float* const* out, int begin, int end, const float* g)
{
    for (int k = 0; k < N; ++k)
        if (out[k] != in)
            scale_apart(in, out[k], begin, end, g[k]);
    for (int k = 0; k < N; ++k)
        if (out[k] == in)
            scale_in_place(out[k], begin, end, g[k]);
}

// Constant gains over [begin, end), all outputs four samples at a time: the
// four input samples are read before any output is written. Best for short
// segments, where the per-output loops would cost more to start than to run.
template <int N>
RONDEL_INLINE void hold_by_sample(const float* in, float* const* out, int begin, int end, const float* g)
{
    int i = begin;
#if RONDEL_SSE
    __m128 G[N];
    for (int k = 0; k < N; ++k)
        G[k] = _mm_set1_ps(g[k]);
    for (; i + 4 <= end; i += 4) {
        const __m128 x = _mm_loadu_ps(in + i);
        for (int k = 0; k < N; ++k)
            _mm_storeu_ps(out[k] + i, _mm_mul_ps(x, G[k]));
    }
#endif
    for (; i < end; ++i) {
        const float s = in[i];
        for (int k = 0; k < N; ++k)
            out[k][i] = s * g[k];
    }
}

// Segments longer than this go one output after the other (measured: with
// many outputs, long interleaved store streams cost more than the loop starts).
constexpr int kInterleavedHoldMax = 256;

template <int N>
RONDEL_INLINE void hold_segment(const float* in, float* const* out, int begin, int end, const float* g)
{
    if (end - begin > kInterleavedHoldMax)
        hold_by_output<N>(in, out, begin, end, g);
    else
        hold_by_sample<N>(in, out, begin, end, g);
}

// Gains adding their increments on every sample of [begin, end).
template <int N>
RONDEL_INLINE void ramp_segment(const float* in, float* const* out, int begin, int end,
                                float* gain, const float* inc)
{
    int i = begin;
#if RONDEL_SSE
    // Four outputs per vector: each lane is one output's add chain. Four
    // samples at a time, the lanes are transposed so that every output gets
    // its four gains in one vector, multiplied by the four inputs read first.
    constexpr int V = (N + 3) / 4;
    alignas(16) float gl[4 * V];
    alignas(16) float il[4 * V];
    for (int k = 0; k < 4 * V; ++k) {
        gl[k] = k < N ? gain[k] : 0.0f;
        il[k] = k < N ? inc[k] : 0.0f;
    }
    __m128 G[V], I[V];
    for (int v = 0; v < V; ++v) {
        G[v] = _mm_load_ps(gl + 4 * v);
        I[v] = _mm_load_ps(il + 4 * v);
    }
    for (; i + 4 <= end; i += 4) {
        const __m128 x = _mm_loadu_ps(in + i);
        for (int v = 0; v < V; ++v) {
            __m128 s0 = _mm_add_ps(G[v], I[v]);
            __m128 s1 = _mm_add_ps(s0, I[v]);
            __m128 s2 = _mm_add_ps(s1, I[v]);
            __m128 s3 = _mm_add_ps(s2, I[v]);
            G[v] = s3;
            _MM_TRANSPOSE4_PS(s0, s1, s2, s3);
            const int k = 4 * v;
            if (k + 0 < N) _mm_storeu_ps(out[k + 0] + i, _mm_mul_ps(x, s0));
            if (k + 1 < N) _mm_storeu_ps(out[k + 1] + i, _mm_mul_ps(x, s1));
            if (k + 2 < N) _mm_storeu_ps(out[k + 2] + i, _mm_mul_ps(x, s2));
            if (k + 3 < N) _mm_storeu_ps(out[k + 3] + i, _mm_mul_ps(x, s3));
        }
    }
    for (int v = 0; v < V; ++v)
        _mm_store_ps(gl + 4 * v, G[v]);
    for (int k = 0; k < N; ++k)
        gain[k] = gl[k];
#endif
    for (; i < end; ++i) {
        const float s = in[i];
        for (int k = 0; k < N; ++k)
            gain[k] += inc[k];
        for (int k = 0; k < N; ++k)
            out[k][i] = s * gain[k];
    }
}

template <int N>
RONDEL_INLINE bool all_zero(const float* inc)
{
    bool zero = true;
    for (int k = 0; k < N; ++k)
        zero = zero && inc[k] == 0.0f;
    return zero;
}

// Samples [begin, end) with no snap among them.
template <int N>
RONDEL_INLINE void run_segment(const float* in, float* const* out, int begin, int end,
                               float* gain, const float* inc)
{
    if (begin >= end)
        return;
    if (all_zero<N>(inc)) {
        // Adding a zero twice gives what adding it once gave (even for -0
        // and NaN), so one add stands for the whole segment.
        for (int k = 0; k < N; ++k)
            gain[k] += inc[k];
        hold_segment<N>(in, out, begin, end, gain);
    } else {
        ramp_segment<N>(in, out, begin, end, gain, inc);
    }
}

}  // namespace detail

/// Ramp state of one object: gains, increments and targets of 16 outputs
/// (only the first N are used) and the counter, in samples, to the snap.
struct RampState {
    float* gain;          ///< current gain per output
    float* inc;           ///< per-sample increment per output
    const float* target;  ///< gain each output takes at the snap
    std::int32_t* count;  ///< samples to the snap; counts down through the negatives after it
};

/// Processes `n` samples of `in` into out[0 … N-1]. `in` may be the same
/// memory as one of the outputs. Only entries 0 … N-1 of the state are used.
template <int N>
RONDEL_INLINE void ramp_block(const float* in, float* const* out, int n, RampState st)
{
    static_assert(N >= 2 && N <= kMaxOutputs, "2 to 16 outputs");
    if (n <= 0)
        return;
    float gain[N], inc[N];
    for (int k = 0; k < N; ++k) {
        gain[k] = st.gain[k];
        inc[k] = st.inc[k];
    }
    const std::uint32_t count = static_cast<std::uint32_t>(*st.count);
    // A counter below 0 reads as 2^31 or more here: no snap in this block.
    const int snap = count < static_cast<std::uint32_t>(n) ? static_cast<int>(count) : n;
    detail::run_segment<N>(in, out, 0, snap, gain, inc);
    if (snap < n) {
        const float s = in[snap];
        for (int k = 0; k < N; ++k) {
            gain[k] = st.target[k];
            inc[k] = 0.0f;
        }
        for (int k = 0; k < N; ++k)
            out[k][snap] = s * gain[k];
        detail::run_segment<N>(in, out, snap + 1, n, gain, inc);
    }
    for (int k = 0; k < N; ++k) {
        st.gain[k] = gain[k];
        st.inc[k] = inc[k];
    }
    *st.count = static_cast<std::int32_t>(count - static_cast<std::uint32_t>(n));
}

}  // namespace rondel::accumulating
