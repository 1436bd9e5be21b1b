// The floors a perform block is measured against, on any vector lanes: N
// outputs stored with a constant, and N outputs = input × a constant gain.
#pragma once

#include "ramp_lanes.hpp"

namespace rondel::bench {

/// A floor: writes N outputs of `len` samples (a multiple of the widest vector).
using Floor = void (*)(const float* in, float* const* out, int n_out, int len);

/// Stores only: the least any routine that writes N outputs can cost.
template <class L>
void store_floor(const float*, float* const* out, int n_out, int len)
{
    const auto g = L::gain(0.5f);
    for (int k = 0; k < n_out; ++k)
        for (int i = 0; i < len; i += L::width)
            L::store(out[k] + i, g);
}

/// Input × a constant gain into every output: a still source, done the plain way.
template <class L>
void multiply_floor(const float* in, float* const* out, int n_out, int len)
{
    const auto g = L::gain(0.5f);
    for (int k = 0; k < n_out; ++k)
        for (int i = 0; i < len; i += L::width)
            L::store(out[k] + i, L::times(L::load(in + i), g));
}

#if defined(__i386__) || defined(__x86_64__)
/// Built with AVX2 enabled in a file of their own.
extern const Floor kStoreFloorAvx2, kMultiplyFloorAvx2;
#endif

}  // namespace rondel::bench
