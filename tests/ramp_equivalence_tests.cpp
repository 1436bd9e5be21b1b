// The fast kernel, on every vector path and for both sample types, against
// the plain per-sample rule on random states: every output sample, gain,
// start, step and counter must agree to the bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "controls.hpp"
#include "dispatch.hpp"
#include "reference_ramp.hpp"

using namespace rondel;

namespace {

struct State {
    float gain[kMaxOutputs], start[kMaxOutputs], target[kMaxOutputs];
    double step[kMaxOutputs];
    std::int32_t count, length;
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

std::int32_t random_length(std::mt19937& rng, int len)
{
    switch (rng() % 4) {
    case 0: return static_cast<std::int32_t>(rng() % (len + 3));
    case 1: return static_cast<std::int32_t>(rng() % 100000);
    case 2: return kMaxRamp - static_cast<std::int32_t>(rng() % 5000);  // j near 2^31
    default: return static_cast<std::int32_t>(rng() % (kMaxRamp + 1u));
    }
}

// A state the object can be in: a ramp under way (the counter between 0 and
// its length), or one that has landed (steps 0, any counter, wrap included).
State random_state(std::mt19937& rng, int len, std::optional<std::int32_t> count)
{
    State s;
    s.length = random_length(rng, len);
    const bool ramping = rng() % 4 != 0;
    for (int k = 0; k < kMaxOutputs; ++k) {
        s.gain[k] = random_gain(rng);
        s.target[k] = random_gain(rng);
        s.start[k] = random_gain(rng);
        if (!ramping || rng() % 5 == 0)  // some outputs still while others move
            s.step[k] = rng() % 2 ? 0.0 : -0.0;
        else if (rng() % 2)
            s.step[k] = (static_cast<double>(s.target[k]) - s.start[k]) / (static_cast<double>(s.length) + 1);
        else
            s.step[k] = std::ldexp(std::uniform_real_distribution<double>(-1, 1)(rng), -static_cast<int>(rng() % 40));
    }
    if (count) {
        s.count = std::min(*count, s.length);
    } else if (ramping) {
        switch (rng() % 3) {
        case 0: s.count = static_cast<std::int32_t>(rng() % (std::min<std::uint32_t>(s.length, len + 2) + 1)); break;
        case 1: s.count = s.length - static_cast<std::int32_t>(rng() % (std::min<std::uint32_t>(s.length, 8) + 1)); break;
        default: s.count = static_cast<std::int32_t>(rng() % (static_cast<std::uint32_t>(s.length) + 1)); break;
        }
    } else {
        switch (rng() % 3) {
        case 0: s.count = -static_cast<std::int32_t>(rng() % 100000); break;
        case 1: s.count = static_cast<std::int32_t>(rng()); break;  // anywhere, wrap included
        default: s.count = INT32_MIN + static_cast<std::int32_t>(rng() % 8); break;
        }
    }
    return s;
}

template <typename T>
auto bits(T f)
{
    if constexpr (sizeof(T) == 4)
        return std::bit_cast<std::uint32_t>(f);
    else
        return std::bit_cast<std::uint64_t>(f);
}

// Runs one kernel (or the per-sample rule) on a copy of `start`; `alias` is
// the output that shares the input's memory, or -1. Each output has one
// guard sample past the block.
template <typename Sample>
std::vector<std::vector<Sample>> run(const test::BlockRoutine<Sample> fast, const State& start, State& st,
                                     const std::vector<Sample>& input, int n_out, int alias)
{
    const int len = static_cast<int>(input.size());
    std::vector<std::vector<Sample>> bufs(n_out + 1, std::vector<Sample>(len + 1, Sample(12345)));
    std::copy(input.begin(), input.end(), bufs[n_out].begin());
    Sample* out[kMaxOutputs];
    for (int k = 0; k < n_out; ++k)
        out[k] = bufs[k].data();
    Sample* in = bufs[n_out].data();
    if (alias >= 0) {
        std::copy(input.begin(), input.end(), out[alias]);
        in = out[alias];
    }
    st = start;
    if (fast)
        fast(in, out, len, {st.gain, st.start, st.step, st.target, &st.count, &st.length});
    else
        reference::ramp_block(in, out, n_out, len, st.gain, st.start, st.step, st.target, st.count, st.length);
    bufs.pop_back();
    return bufs;
}

template <typename Sample>
void expect_same(const State& a, const State& b, const std::vector<std::vector<Sample>>& fa,
                 const std::vector<std::vector<Sample>>& fb, const testing::Message& where)
{
    ASSERT_EQ(a.count, b.count) << where;
    ASSERT_EQ(a.length, b.length) << where;
    for (int k = 0; k < kMaxOutputs; ++k) {
        ASSERT_EQ(bits(a.gain[k]), bits(b.gain[k])) << where << ", gain " << k;
        ASSERT_EQ(bits(a.start[k]), bits(b.start[k])) << where << ", start " << k;
        ASSERT_EQ(bits(a.step[k]), bits(b.step[k])) << where << ", step " << k;
    }
    for (std::size_t k = 0; k < fa.size(); ++k)
        for (std::size_t i = 0; i < fa[k].size(); ++i)
            ASSERT_EQ(bits(fa[k][i]), bits(fb[k][i])) << where << ", output " << k + 1 << ", sample " << i;
}

// Every float path and the double-sample kernel against the per-sample rule
// on one random state and input. The double samples, rounded to float, must
// also be the float samples: what Pd with 64-bit samples records is what Pd
// with 32-bit samples records.
void check_once(std::mt19937& rng, int n_out, int len, int alias, std::optional<std::int32_t> count = {})
{
    const State start = random_state(rng, len, count);
    std::vector<float> input(len);
    for (float& x : input)
        x = std::uniform_real_distribution<float>(-1, 1)(rng);
    const auto where = [&](const char* path) {
        return testing::Message() << path << ": N = " << n_out << ", length " << len << ", count " << start.count
                                  << ", ramp length " << start.length << ", input shared with output " << alias;
    };

    State want;
    const auto plain = run<float>(nullptr, start, want, input, n_out, alias);
    for (const test::Path& p : test::float_paths()) {
        State got;
        const auto fast = run<float>((*p.routines)[n_out], start, got, input, n_out, alias);
        expect_same(got, want, fast, plain, where(simd_name(p.simd)));
    }

    const std::vector<double> wide(input.begin(), input.end());
    State want64, got64;
    const auto plain64 = run<double>(nullptr, start, want64, wide, n_out, alias);
    const auto fast64 = run<double>(test::kBlockRoutinesOn<lanes::Portable<double>, double>[n_out], start, got64,
                                    wide, n_out, alias);
    expect_same(got64, want64, fast64, plain64, where("double samples"));
    expect_same(got64, want, std::vector<std::vector<float>>{}, plain, where("double against float state"));
    for (int k = 0; k < n_out; ++k)
        for (int i = 0; i <= len; ++i)
            ASSERT_EQ(bits(static_cast<float>(fast64[k][i])), bits(plain[k][i]))
                << where("double samples rounded") << ", output " << k + 1 << ", sample " << i;
}

TEST(RampEquivalence, FastKernelMatchesThePerSampleRule)
{
    std::mt19937 rng(20261211);
    const int lengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 63, 64, 65, 100, 1024};
    for (int n_out = 2; n_out <= kMaxOutputs; ++n_out)
        for (int len : lengths)
            for (int rep = 0; rep < 10; ++rep)
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
    for (int rep = 0; rep < 2000; ++rep) {
        const int n_out = 2 + static_cast<int>(rng() % 15);
        const int len = static_cast<int>(rng() % 1025);
        check_once(rng, n_out, len, static_cast<int>(rng() % (n_out + 1)) - 1);
    }
}

}  // namespace
