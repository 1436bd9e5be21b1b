// The fast kernel against the plain per-sample rule, on random states: every
// output sample, gain, increment and counter must agree to the bit.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <algorithm>
#include <optional>
#include <random>
#include <vector>

#include "dispatch.hpp"
#include "reference_ramp.hpp"

using namespace rondel;

namespace {

struct State {
    float gain[kMaxOutputs], inc[kMaxOutputs], target[kMaxOutputs];
    std::int32_t count;
};

float random_gain(std::mt19937& rng)
{
    switch (rng() % 8) {
    case 0: return 0.0f;
    case 1: return -0.0f;
    case 2: return 1.0f;
    default: return std::uniform_real_distribution<float>(-1.5f, 1.5f)(rng);
    }
}

float random_inc(std::mt19937& rng)
{
    switch (rng() % 6) {
    case 0: return 0.0f;
    case 1: return -0.0f;
    case 2: return std::ldexp(std::uniform_real_distribution<float>(-1, 1)(rng), -20);
    default: return std::uniform_real_distribution<float>(-0.01f, 0.01f)(rng);
    }
}

State random_state(std::mt19937& rng, int len, std::optional<std::int32_t> count)
{
    State s;
    const bool still = rng() % 4 == 0;  // every increment zero: the hold path
    for (int k = 0; k < kMaxOutputs; ++k) {
        s.gain[k] = random_gain(rng);
        s.target[k] = random_gain(rng);
        s.inc[k] = still ? (rng() % 2 ? 0.0f : -0.0f) : random_inc(rng);
    }
    if (count) {
        s.count = *count;
        return s;
    }
    switch (rng() % 4) {
    case 0: s.count = static_cast<std::int32_t>(rng() % (len + 2));  break;  // snap in or just past the block
    case 1: s.count = -static_cast<std::int32_t>(rng() % 100000); break;
    case 2: s.count = static_cast<std::int32_t>(rng());             break;  // anywhere, wrap included
    default: s.count = INT32_MIN + static_cast<std::int32_t>(rng() % 8); break;
    }
    return s;
}

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

// Runs both kernels on one state and input; `alias` is the output that shares
// the input's memory, or -1.
void check_once(std::mt19937& rng, int n_out, int len, int alias, std::optional<std::int32_t> count = {})
{
    const State start = random_state(rng, len, count);
    std::vector<float> input(len);
    for (float& x : input)
        x = std::uniform_real_distribution<float>(-1, 1)(rng);

    auto run = [&](bool fast, State& st, std::vector<std::vector<float>>& bufs) {
        bufs.assign(n_out + 1, std::vector<float>(len + 1, 12345.0f));  // one guard sample past each block
        std::copy(input.begin(), input.end(), bufs[n_out].begin());
        float* out[kMaxOutputs];
        for (int k = 0; k < n_out; ++k)
            out[k] = bufs[k].data();
        float* in = bufs[n_out].data();
        if (alias >= 0) {
            std::copy(input.begin(), input.end(), out[alias]);
            in = out[alias];
        }
        st = start;
        if (fast)
            test::kBlockRoutines[n_out](in, out, len, {st.gain, st.inc, st.target, &st.count});
        else
            reference::ramp_block(in, out, n_out, len, st.gain, st.inc, st.target, st.count);
    };
    State a, b;
    std::vector<std::vector<float>> fa, fb;
    run(true, a, fa);
    run(false, b, fb);

    const auto where = [&] {
        return testing::Message() << "N = " << n_out << ", length " << len << ", count " << start.count
                                  << ", input shared with output " << alias;
    };
    ASSERT_EQ(a.count, b.count) << where();
    for (int k = 0; k < kMaxOutputs; ++k) {
        ASSERT_EQ(bits(a.gain[k]), bits(b.gain[k])) << where() << ", gain " << k;
        ASSERT_EQ(bits(a.inc[k]), bits(b.inc[k])) << where() << ", inc " << k;
    }
    for (int k = 0; k < n_out; ++k)
        for (int i = 0; i <= len; ++i)
            ASSERT_EQ(bits(fa[k][i]), bits(fb[k][i])) << where() << ", output " << k + 1 << ", sample " << i;
}

TEST(RampEquivalence, FastKernelMatchesThePerSampleRule)
{
    std::mt19937 rng(20261211);
    const int lengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 63, 64, 65, 100, 1024};
    for (int n_out = 2; n_out <= kMaxOutputs; ++n_out)
        for (int len : lengths)
            for (int rep = 0; rep < 12; ++rep)
                check_once(rng, n_out, len, static_cast<int>(rng() % (n_out + 1)) - 1);
}

TEST(RampEquivalence, SnapAtEveryPositionOfABlock)
{
    std::mt19937 rng(7);
    for (int n_out : {2, 3, 5, 8, 13, 16})
        for (int snap = 0; snap <= 66; ++snap)
            check_once(rng, n_out, 64, snap % (n_out + 1) - 1, snap);
}

TEST(RampEquivalence, RandomLengthsUpTo1024)
{
    std::mt19937 rng(99);
    for (int rep = 0; rep < 3000; ++rep) {
        const int n_out = 2 + static_cast<int>(rng() % 15);
        const int len = static_cast<int>(rng() % 1025);
        check_once(rng, n_out, len, static_cast<int>(rng() % (n_out + 1)) - 1);
    }
}

}  // namespace
