// The ramp rule written the plain way, one sample at a time: the oracle the
// fast kernel is checked against, sample for sample and bit for bit.
#pragma once

#include <cstdint>

namespace rondel::reference {

/// One block for n_out outputs; `in` may be one of the outputs.
template <typename Sample>
void ramp_block(const Sample* in, Sample* const* out, int n_out, int n, float* gain, float* start, double* step,
                const float* target, std::int32_t& count, std::int32_t length)
{
    std::uint32_t c = static_cast<std::uint32_t>(count);
    for (int i = 0; i < n; ++i) {
        const Sample s = in[i];
        const bool snap = c == 0;
        // Sample j after a restart is processed with the counter at R + 1 - j.
        const double j = static_cast<double>(static_cast<std::uint32_t>(length) + 1u - c);
        for (int k = 0; k < n_out; ++k) {
            gain[k] = snap ? target[k] : static_cast<float>(static_cast<double>(start[k]) + j * step[k]);
            out[k][i] = s * static_cast<Sample>(gain[k]);
        }
        if (snap)
            for (int k = 0; k < n_out; ++k) {
                start[k] = target[k];
                step[k] = 0.0;
            }
        --c;  // wraps: after -2^31 comes 2^31 - 1
    }
    count = static_cast<std::int32_t>(c);
}

}  // namespace rondel::reference
