// What the object's messages and creation argument turn into: the number of
// outputs, the stored position and distance, and ramp lengths in samples.
// Every value a patch can send, NaN and infinities included, maps to a state
// in which the outputs stay finite for finite input.
#pragma once

#include <cmath>
#include <cstdint>

#include "gain_law.hpp"
#include "gain_ramp.hpp"

namespace rondel {

/// Longest ramp, in samples: R + 1 still fits a signed 32-bit integer.
constexpr std::int32_t kMaxRamp = 2147483646;

/// A message argument as the object keeps it: the float nearest to it, as a
/// 32-bit Pd stores it; past the float range (Pd64) infinity of its sign.
inline float message_float(double arg)
{
    constexpr double kOverflow = 0x1.ffffffp+127;  // halfway from the largest float to 2^128: rounds up
    if (arg >= kOverflow)
        return HUGE_VALF;
    if (arg <= -kOverflow)
        return -HUGE_VALF;
    return static_cast<float>(arg);
}

/// Number of outputs for a creation argument: 2 … 16, fraction dropped; NaN gives 2.
inline int output_count(float arg)
{
    if (!(arg >= 2.0f))  // also NaN
        return 2;
    if (arg > static_cast<float>(kMaxOutputs))
        return kMaxOutputs;
    return static_cast<int>(arg);
}

/// Stored position for a `val` argument: never negative; NaN and infinities give 0.
inline float clamp_position(float p)
{
    if (!std::isfinite(p) || p < 0.0f)
        return 0.0f;
    return p;
}

/// Stored distance for a `dist` argument: 0 … 1; NaN gives 0.
inline float clamp_distance(float d)
{
    if (d > 1.0f)
        d = 1.0f;
    if (d < 0.0f || d != d)
        d = 0.0f;
    return d;
}

/// A sample count from a double, truncated toward zero, bounded to 0 … kMaxRamp; NaN gives 0.
inline std::int32_t bounded_samples(double samples)
{
    if (!(samples > 0.0))
        return 0;
    if (samples >= static_cast<double>(kMaxRamp))
        return kMaxRamp;
    return static_cast<std::int32_t>(samples);
}

/// Sample rate as the object keeps it: whole hertz, never negative.
inline std::int32_t whole_rate(float sr)
{
    return bounded_samples(static_cast<double>(sr));
}

/// Ramp length of a new object: 50 ms, that is sr × 0.05 rounded down.
inline std::int32_t default_ramp(std::int32_t sr)
{
    return bounded_samples(static_cast<double>(sr) * 0.05);
}

/// Ramp length in samples for a time in milliseconds: sr × ms / 1000, truncated.
inline std::int32_t ramp_length(std::int32_t sr, float ms)
{
    return bounded_samples(static_cast<double>(sr) * static_cast<double>(ms) / 1000.0);
}

/// Starts a ramp of `ramp` samples (0 … kMaxRamp) from the gains to the
/// targets over all 16 entries: R + 1 steps, the last one the snap. The
/// step is kept in double precision: (target - gain) / (R + 1).
inline void restart_ramp(RampState st, std::int32_t ramp)
{
    const double steps = static_cast<double>(ramp + 1);
    for (int k = 0; k < kMaxOutputs; ++k) {
        st.start[k] = st.gain[k];
        st.step[k] = (static_cast<double>(st.target[k]) - static_cast<double>(st.gain[k])) / steps;
    }
    *st.count = *st.length = ramp;
}

}  // namespace rondel
