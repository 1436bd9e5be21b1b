// The fast kernel chosen by a run-time output count, for tests that sweep N.
#pragma once

#include "gain_ramp.hpp"
#include "per_count.hpp"

namespace rondel::test {

using BlockRoutine = void (*)(const float* in, float* const* out, int n, RampState st);

inline constexpr auto kBlockRoutines = per_count<BlockRoutine>([](auto c) -> BlockRoutine {
    return [](const float* in, float* const* out, int n, RampState st) {
        ramp_block<decltype(c)::value>(in, out, n, st);
    };
});

}  // namespace rondel::test
