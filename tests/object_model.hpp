// The object as the host sees it, without the host: the state a new object
// starts in, what its messages do, and the plain per-sample ramp. In-host
// recordings are compared against it sample for sample.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "controls.hpp"
#include "per_count.hpp"
#include "reference_ramp.hpp"

namespace rondel::test {

/// One object's expected behaviour.
struct ObjectModel {
    int n_out;
    std::int32_t sr, ramp, count, length;
    float pos = 0.0f, dist = 1.0f;
    float gain[kMaxOutputs] = {}, start[kMaxOutputs] = {}, target[kMaxOutputs] = {};
    double step[kMaxOutputs] = {};

    ObjectModel(float arg, float host_rate)
        : n_out(output_count(arg)), sr(whole_rate(host_rate)), ramp(default_ramp(sr)), count(ramp), length(ramp)
    {
        gain[0] = start[0] = target[0] = 1.0f;  // output 1 carries the input until the first move
    }

    void val(float p) { pos = clamp_position(p); move(); }
    void distance(float d) { dist = clamp_distance(d); move(); }
    void line(float ms) { ramp = ramp_length(sr, ms); }

    /// The ramp state, for the fast kernel.
    RampState state() { return {gain, start, step, target, &count, &length}; }

    /// Outputs for a block of input.
    template <typename Sample = float>
    std::vector<std::vector<Sample>> process(const std::vector<Sample>& in)
    {
        const int n = static_cast<int>(in.size());
        std::vector<std::vector<Sample>> out(n_out, std::vector<Sample>(n));
        Sample* ptrs[kMaxOutputs];
        for (int k = 0; k < n_out; ++k)
            ptrs[k] = out[k].data();
        reference::ramp_block(in.data(), ptrs, n_out, n, gain, start, step, target, count, length);
        return out;
    }

private:
    void move()
    {
        kTargetRoutines[n_out](pos, dist, target);
        restart_ramp(state(), ramp);
    }
};

}  // namespace rondel::test
