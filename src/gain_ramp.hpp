// The per-sample gain ramp: one block of input spread over N outputs.
//
// A restart with ramp length R leaves, for every output, the gain it starts
// from and a step (target - start) / (R + 1) in double precision. The j-th
// sample after the restart (1 <= j <= R) carries float(start + j * step);
// sample R + 1 is the snap, where every gain becomes its target exactly and
// the step becomes 0. Each gain is computed from j alone, never accumulated,
// so a ramp of any length stays on its line, and block boundaries, block
// sizes and DSP off and on change nothing.
//
// The counter counts down once per sample, through the negatives after the
// snap and round its wrap, as the object has always done; after a snap the
// start is the target and the step 0, so the same rule holds the target.
#pragma once

#include <cstdint>

#include "gain_law.hpp"
#include "ramp_lanes.hpp"

namespace rondel {

/// Where one object's ramp state lives: arrays of 16 entries, one per
/// output, of which the kernel uses the first N. While a ramp runs (a step
/// is not 0), 0 <= count <= length.
struct RampState {
    float* gain;                  ///< gain of the last processed sample
    float* start;                 ///< gain the running ramp started from
    double* step;                 ///< per-sample step of the running ramp; 0 once it has landed
    const float* target;          ///< gain each output takes at the snap
    std::int32_t* count;          ///< samples to the snap
    std::int32_t* length;         ///< length R of the running ramp
};

namespace detail {

/// Sample number j (1 for the first sample after a restart) of the sample
/// processed with the counter at `count`, modulo 2^32.
RONDEL_INLINE std::uint32_t sample_number(std::int32_t length, std::uint32_t count)
{
    return static_cast<std::uint32_t>(length) + 1u - count;
}

/// The gain of sample j of a ramp.
RONDEL_INLINE float ramp_gain(float start, double step, double j)
{
    return static_cast<float>(static_cast<double>(start) + j * step);
}

/// The gain after the snap: the rule with the target as start and a step of
/// 0, which is the target itself (a target of -0 gives +0, as a later block would).
RONDEL_INLINE float landed_gain(float target)
{
    return ramp_gain(target, 0.0, 0.0);
}

// out = in * g over [begin, end).
template <class L, typename Sample>
RONDEL_INLINE void scale(const Sample* in, Sample* out, int begin, int end, float g)
{
    using P = lanes::Portable<Sample>;
    const typename L::Samples G = L::gain(g);
    int i = begin;
    for (; i + L::width <= end; i += L::width)
        L::store(out + i, L::times(L::load(in + i), G));
    for (; i < end; ++i)
        out[i] = P::times(in[i], P::gain(g));
}

// Constant gains over [begin, end), one output after the other: the output
// that shares the input's memory, if any, goes last, so that every other
// output still reads the input. Best for long segments.
template <int N, class L, typename Sample>
RONDEL_INLINE void hold_by_output(const Sample* in, Sample* const* out, int begin, int end, const float* g)
{
    for (int shared = 0; shared < 2; ++shared)
        for (int k = 0; k < N; ++k)
            if ((out[k] == in) == (shared == 1))
                scale<L>(in, out[k], begin, end, g[k]);
}

// Constant gains over [begin, end), all outputs one vector step at a time:
// each step's input is read before any output is written. Best for short
// segments, where the per-output loops would cost more to start than to run.
template <int N, class L, typename Sample>
RONDEL_INLINE void hold_by_sample(const Sample* in, Sample* const* out, int begin, int end, const float* g)
{
    using P = lanes::Portable<Sample>;
    typename L::Samples G[N];
    for (int k = 0; k < N; ++k)
        G[k] = L::gain(g[k]);
    int i = begin;
    for (; i + L::width <= end; i += L::width) {
        const typename L::Samples x = L::load(in + i);
        for (int k = 0; k < N; ++k)
            L::store(out[k] + i, L::times(x, G[k]));
    }
    for (; i < end; ++i) {
        const Sample x = in[i];
        for (int k = 0; k < N; ++k)
            out[k][i] = P::times(x, P::gain(g[k]));
    }
}

// Segments longer than this go one output after the other (measured: with
// many outputs, long interleaved store streams cost more than the loop starts).
constexpr int kInterleavedMax = 256;

template <int N, class L, typename Sample>
RONDEL_INLINE void hold_segment(const Sample* in, Sample* const* out, int begin, int end, const float* g)
{
    if (end - begin > kInterleavedMax)
        hold_by_output<N, L>(in, out, begin, end, g);
    else
        hold_by_sample<N, L>(in, out, begin, end, g);
}

// The ramp runs in chunks of this many samples: the sample numbers of a
// chunk are counted once, then read by every output.
constexpr int kChunk = 64;

// out = in * ramp gain over [begin, end) (at most one chunk), where j holds
// the sample numbers of the chunk's vector steps and j0 is that of sample 0.
template <class L, typename Sample>
RONDEL_INLINE void ramp_chunk(const Sample* in, Sample* out, int begin, int end, const typename L::Counts* j,
                              double j0, float start, double step)
{
    using P = lanes::Portable<Sample>;
    const typename L::Double S = L::wide(start), D = L::wide(step);
    int i = begin;
    for (; i + L::width <= end; i += L::width, ++j)
        L::store(out + i, L::times(L::load(in + i), L::line(S, D, *j)));
    for (; i < end; ++i)
        out[i] = P::times(in[i], P::line(start, step, j0 + i));
}

// Every output over [begin, end), with no snap among those samples, one
// output after the other in chunks: the moving ones on their ramps, the
// still ones at their gains. Best for many outputs over long segments.
template <int N, class L, typename Sample>
RONDEL_INLINE void ramp_by_output(const Sample* in, Sample* const* out, int begin, int end, double j0,
                                const float* start, const double* step)
{
    static_assert(kChunk % L::width == 0, "whole vector steps per chunk");
    typename L::Counts j[kChunk / L::width];
    for (int c = begin; c < end; c += kChunk) {
        const int e = end - c > kChunk ? c + kChunk : end;
        j[0] = L::counts(j0 + c);
        for (int v = 1; v < (e - c) / L::width; ++v)
            j[v] = L::next(j[v - 1]);
        for (int shared = 0; shared < 2; ++shared)
            for (int k = 0; k < N; ++k)
                if ((out[k] == in) == (shared == 1)) {
                    if (step[k] == 0.0)
                        scale<L>(in, out[k], c, e, ramp_gain(start[k], step[k], j0));  // the same for every j
                    else
                        ramp_chunk<L>(in, out[k], c, e, j, j0, start[k], step[k]);
                }
    }
}

// Every output over [begin, end), with no snap among those samples, one
// vector step at a time for all outputs: each step's input is read and its
// sample numbers counted once, before any output of it is written.
template <int N, class L, typename Sample>
RONDEL_INLINE void ramp_by_sample(const Sample* in, Sample* const* out, int begin, int end, double j0,
                                  const float* start, const double* step)
{
    using P = lanes::Portable<Sample>;
    typename L::Double S[N], D[N];
    for (int k = 0; k < N; ++k) {
        S[k] = L::wide(start[k]);
        D[k] = L::wide(step[k]);
    }
    typename L::Counts j = L::counts(j0 + begin);
    int i = begin;
    for (; i + L::width <= end; i += L::width) {
        const typename L::Samples x = L::load(in + i);
        for (int k = 0; k < N; ++k)
            L::store(out[k] + i, L::times(x, L::line(S[k], D[k], j)));
        j = L::next(j);
    }
    for (; i < end; ++i) {
        const Sample x = in[i];
        for (int k = 0; k < N; ++k)
            out[k][i] = P::times(x, P::line(start[k], step[k], j0 + i));
    }
}

// Measured: up to 8 outputs, or over short segments, one pass over the
// samples for all outputs is fastest; beyond that, long interleaved store
// streams cost more than starting a loop per output and chunk.
template <int N, class L, typename Sample>
RONDEL_INLINE void ramp_segment(const Sample* in, Sample* const* out, int begin, int end, double j0,
                                const float* start, const double* step)
{
    if (N > 8 && end - begin > kInterleavedMax)
        ramp_by_output<N, L>(in, out, begin, end, j0, start, step);
    else
        ramp_by_sample<N, L>(in, out, begin, end, j0, start, step);
}

}  // namespace detail

/// Processes `n` samples of `in` into out[0 … N-1] on the lanes L. `in` may
/// be the same memory as one of the outputs: that output is written last.
template <int N, typename Sample, class L>
RONDEL_INLINE void ramp_block(const Sample* in, Sample* const* out, int n, RampState st)
{
    static_assert(N >= 2 && N <= kMaxOutputs, "2 to 16 outputs");
    if (n <= 0)
        return;
    const std::uint32_t count = static_cast<std::uint32_t>(*st.count);
    // A counter below 0 reads as 2^31 or more here: no snap in this block.
    const int snap = count < static_cast<std::uint32_t>(n) ? static_cast<int>(count) : n;
    const double j0 = static_cast<double>(detail::sample_number(*st.length, count));
    float g[N];  // still gains
    bool still = true;
    for (int k = 0; k < N; ++k)
        still &= st.step[k] == 0.0;  // no branch per output
    if (still) {
        for (int k = 0; k < N; ++k)
            g[k] = detail::ramp_gain(st.start[k], st.step[k], j0);  // the same for every j
        detail::hold_segment<N, L>(in, out, 0, snap, g);
        if (snap == n)
            for (int k = 0; k < N; ++k)
                st.gain[k] = g[k];
    } else {
        detail::ramp_segment<N, L>(in, out, 0, snap, j0, st.start, st.step);
        if (snap == n)
            for (int k = 0; k < N; ++k)
                st.gain[k] = detail::ramp_gain(st.start[k], st.step[k], j0 + (n - 1));
    }
    if (snap < n) {
        using P = lanes::Portable<Sample>;
        const Sample x = in[snap];
        for (int k = 0; k < N; ++k) {
            out[k][snap] = P::times(x, P::gain(st.target[k]));
            g[k] = detail::landed_gain(st.target[k]);
        }
        detail::hold_segment<N, L>(in, out, snap + 1, n, g);
        for (int k = 0; k < N; ++k) {
            st.gain[k] = snap == n - 1 ? st.target[k] : g[k];
            st.start[k] = st.target[k];
            st.step[k] = 0.0;
        }
    }
    *st.count = static_cast<std::int32_t>(count - static_cast<std::uint32_t>(n));
}

}  // namespace rondel
