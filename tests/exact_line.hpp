// The exact straight line of a ramp, as an independent yardstick for the
// gains the object computes: found with 64-bit integer arithmetic only, so
// that it gives the same answer on every CPU the tests run on.
#pragma once

#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace rondel::test {

/// The float nearest to the exact value of the line from g to t at sample j
/// of R + 1 (ties to even): g + j·(t - g)/(R + 1). g and t must be multiples
/// of 2^-24 between 0 and 1, R below 2^31 and j at most R + 1.
inline float exact_line(float g, float t, std::int64_t j, std::int64_t r)
{
    const auto fixed = [](float v) {  // v · 2^24, exactly
        const double s = static_cast<double>(v) * 0x1p24;
        if (!(v >= 0.0f && v <= 1.0f) || s != std::floor(s))
            throw std::invalid_argument("gain not a multiple of 2^-24 in [0, 1]");
        return static_cast<std::int64_t>(s);
    };
    if (r < 0 || r >= (std::int64_t{1} << 31) || j < 0 || j > r + 1)
        throw std::invalid_argument("sample number or ramp length out of range");
    // value = num / den with both below 2^56
    const std::int64_t num = fixed(g) * (r + 1) + j * (fixed(t) - fixed(g));
    const std::uint64_t den = static_cast<std::uint64_t>(r + 1) << 24;
    if (num == 0)
        return 0.0f;
    std::uint64_t rem = static_cast<std::uint64_t>(num);
    int e = 0;  // 2^e <= value < 2^(e + 1); the value is at most 1
    while (rem < den) {
        rem <<= 1;
        --e;
    }
    std::uint64_t m = 0;  // 24 bits of the quotient, long division
    for (int i = 0; i < 24; ++i) {
        m <<= 1;
        if (rem >= den) {
            m |= 1;
            rem -= den;
        }
        rem <<= 1;
    }
    if (rem > den || (rem == den && (m & 1)))  // rem is twice the remainder
        ++m;
    return std::ldexp(static_cast<float>(m), e - 23);
}

}  // namespace rondel::test
