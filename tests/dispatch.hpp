// The fast kernel on every vector path this build has, chosen by a run-time
// output count, for tests that sweep N and paths.
#pragma once

#include <array>
#include <vector>

#include "gain_ramp.hpp"
#include "per_count.hpp"
#include "simd.hpp"

namespace rondel::test {

template <typename Sample>
using BlockRoutine = void (*)(const Sample* in, Sample* const* out, int n, RampState st);

template <typename Sample>
using BlockRoutines = std::array<BlockRoutine<Sample>, kMaxOutputs + 1>;

/// ramp_block on the lanes L for every N.
template <class L, typename Sample = float>
inline constexpr BlockRoutines<Sample> kBlockRoutinesOn = per_count<BlockRoutine<Sample>>([](auto c) {
    return static_cast<BlockRoutine<Sample>>([](const Sample* in, Sample* const* out, int n, RampState st) {
        ramp_block<decltype(c)::value, Sample, L>(in, out, n, st);
    });
});

#if defined(__i386__) || defined(__x86_64__)
/// Built in a file of its own with AVX2 enabled; only for CPUs that have it.
extern const BlockRoutines<float> kBlockRoutinesAvx2;
#endif

/// One path's routines and its name.
struct Path {
    Simd simd;
    const BlockRoutines<float>* routines;
};

/// Every path of float samples this build has and this CPU runs, narrow to wide.
inline std::vector<Path> float_paths()
{
    std::vector<Path> p = {{Simd::portable, &kBlockRoutinesOn<lanes::Portable<float>>}};
#if RONDEL_HAVE_SSE2
    p.push_back({Simd::sse2, &kBlockRoutinesOn<lanes::Sse2>});
#endif
#if defined(__i386__) || defined(__x86_64__)
    if (cpu_has_avx2())
        p.push_back({Simd::avx2, &kBlockRoutinesAvx2});
#endif
    return p;
}

}  // namespace rondel::test
