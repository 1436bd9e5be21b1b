// Circular panning law: one target gain per loudspeaker for a source at a
// position on the circle (in turns) and a distance from the centre.
//
// Every rounding step is written out on purpose: the same position and
// distance give the same 32-bit targets on every compiler and platform.
#pragma once

#include "exact_float.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace rondel {

/// Highest number of loudspeakers (and outputs) an object can have.
constexpr int kMaxOutputs = 16;

namespace detail {

/// Circular distance, in turns (0 … 0.5), between the half-turn point and
/// the fraction of `arg`; `arg` must not be negative.
inline float half_turn_distance(float arg)
{
    const float f = static_cast<float>(std::fmod(static_cast<double>(arg), 1.0));
    return f < 0.5f ? static_cast<float>(0.5 - static_cast<double>(f))
                    : static_cast<float>(static_cast<double>(f) - 0.5);
}

/// 1 - p·q, the exact value rounded once to float. Not std::fma: some C
/// runtimes (MinGW-w64's) compute fmaf in double and round twice, which
/// changes a few results. Here the product is exact in double, the
/// subtraction's error is recovered exactly (two-sum), and rounding the
/// double result to odd before the conversion makes that one rounding correct.
inline float one_minus_product(float p, float q)
{
    const double prod = static_cast<double>(p) * static_cast<double>(q);  // exact: 24 + 24 bits
    double r = 1.0 - prod;
    const double back = r - 1.0;
    const double err = (1.0 - (r - back)) + (-prod - back);
    std::uint64_t bits;
    std::memcpy(&bits, &r, sizeof bits);
    if (err != 0.0 && (bits & 1) == 0) {
        bits += (err > 0.0) == (r > 0.0) ? 1 : -1;  // to the odd neighbour on err's side
        std::memcpy(&r, &bits, sizeof bits);
    }
    return static_cast<float>(r);
}

/// Distance factor: 0.5 at the centre, 1 on the circle.
inline double distance_factor(float dist)
{
    return static_cast<double>(dist) / 2 + 0.5;
}

}  // namespace detail

/// Gain law for three or more loudspeakers: the factor for distance stands
/// outside the root, so the centre gives 0.5 on every output.
inline float spat(float arg, float dist, int n)
{
    const float d = detail::half_turn_distance(arg);
    const float p = static_cast<float>(n) * d;
    float t = detail::one_minus_product(p, dist);
    if (t < 0.0f)
        t = 0.0f;
    return static_cast<float>(std::sqrt(static_cast<double>(t)) * detail::distance_factor(dist));
}

/// Gain law for two loudspeakers: the factor for distance stands inside the
/// root, so the centre gives sqrt(0.5) on both outputs (constant power).
inline float spat2(float arg, float dist)
{
    const float d = detail::half_turn_distance(arg);
    float t = detail::one_minus_product(d + d, dist);
    if (t < 0.0f)
        t = 0.0f;
    return static_cast<float>(std::sqrt(static_cast<double>(t) * detail::distance_factor(dist)));
}

/// Signed multiple of 1/N by which loudspeaker k's argument steps away from
/// position + 0.5. The first half steps back and the rest forward, so every
/// argument stays between position and position + 1 and is never negative.
constexpr int speaker_offset(int n, int k)
{
    return k <= n / 2 ? -k : n - k;
}

/// Targets of loudspeakers 0 … N-1 for a position (turns, not negative) and a
/// distance (0 … 1). Writes target[0 … N-1] and nothing else.
template <int N>
void circle_targets(float pos, float dist, float* target)
{
    static_assert(N >= 2 && N <= kMaxOutputs, "2 to 16 loudspeakers");
    if constexpr (N == 2) {
        target[0] = spat2(static_cast<float>(static_cast<double>(pos) + 0.5), dist);
        target[1] = spat2(pos, dist);
    } else {
        const double centre = static_cast<double>(pos) + 0.5;
        const float step = 1.0f / static_cast<float>(N);
        for (int k = 0; k < N; ++k) {
            const int m = speaker_offset(N, k);
            const int am = m < 0 ? -m : m;
            const float span = am == 1 ? step : am == 2 ? step + step : static_cast<float>(am) * step;
            const double offset = m < 0 ? -static_cast<double>(span) : static_cast<double>(span);
            const float arg = static_cast<float>(centre + offset);
            target[k] = spat(arg, dist, N);
        }
    }
}

}  // namespace rondel
