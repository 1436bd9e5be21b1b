// The ramp rule written the plain way, one sample at a time: the oracle the
// fast kernel is checked against, sample for sample and bit for bit.
#pragma once

#include <cstdint>

namespace rondel::reference {

/// One block for n_out outputs; `in` may be one of the outputs.
inline void ramp_block(const float* in, float* const* out, int n_out, int n,
                       float* gain, float* inc, const float* target, std::int32_t& count)
{
    std::uint32_t c = static_cast<std::uint32_t>(count);
    for (int i = 0; i < n; ++i) {
        const float s = in[i];
        const bool snap = c == 0;
        for (int k = 0; k < n_out; ++k)
            gain[k] = snap ? target[k] : gain[k] + inc[k];
        for (int k = 0; k < n_out; ++k)
            out[k][i] = s * gain[k];
        if (snap)
            for (int k = 0; k < n_out; ++k)
                inc[k] = 0.0f;
        --c;  // wraps: after -2^31 comes 2^31 - 1
    }
    count = static_cast<std::int32_t>(c);
}

}  // namespace rondel::reference
