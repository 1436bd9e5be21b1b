// The kernel with double samples (Pd64) against the float one: the gains are
// the same floats, and each double output is the exact product of the input
// and the gain, so it rounds back to the float build's sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <random>
#include <vector>

#include "controls.hpp"
#include "gain_ramp.hpp"
#include "object_model.hpp"
#include "per_count.hpp"
#include "reference_ramp.hpp"
#include "session_replay.hpp"
#include "shared_vectors.hpp"

using namespace rondel;

namespace {

template <typename Sample>
using Routine = void (*)(const Sample* in, Sample* const* out, int n, RampState st);

template <typename Sample>
constexpr auto kRoutines = per_count<Routine<Sample>>([](auto c) -> Routine<Sample> {
    return [](const Sample* in, Sample* const* out, int n, RampState st) {
        ramp_block<decltype(c)::value, Sample>(in, out, n, st);
    };
});

struct State {
    float gain[kMaxOutputs] = {}, inc[kMaxOutputs] = {}, target[kMaxOutputs] = {};
    std::int32_t count = 0;
};

// Runs one block with samples of type Sample; `alias` is the output that
// shares the input's memory, or -1. Returns the outputs and leaves the state in `st`.
template <typename Sample>
std::vector<std::vector<Sample>> run(State& st, int n_out, const std::vector<float>& input, int alias)
{
    const int len = static_cast<int>(input.size());
    std::vector<std::vector<Sample>> bufs(n_out + 1, std::vector<Sample>(len));
    Sample* out[kMaxOutputs] = {};
    for (int k = 0; k < n_out; ++k)
        out[k] = bufs[k].data();
    Sample* in = alias >= 0 ? out[alias] : bufs[n_out].data();
    for (int i = 0; i < len; ++i)
        in[i] = static_cast<Sample>(input[i]);
    kRoutines<Sample>[n_out](in, out, len, {st.gain, st.inc, st.target, &st.count});
    bufs.resize(n_out);
    return bufs;
}

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }
std::uint64_t bits(double d) { return std::bit_cast<std::uint64_t>(d); }

TEST(SampleType, DoubleOutputIsTheExactProductOfTheFloatGain)
{
    struct Case {
        const char* what;
        int count;   // samples to the snap at the block's start
        bool still;  // every increment zero
    };
    const Case cases[] = {
        {"ramping through the block", 5000, false},
        {"snap inside the block", 77, false},
        {"snap on the first sample", 0, false},
        {"held", -40, true},
        {"held, counter about to wrap", INT32_MIN + 3, true},
    };
    std::mt19937 rng(20261211);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int n_out : {2, 3, 4, 5, 8, 13, 16})
        for (const Case& c : cases)
            for (int alias : {-1, 0, n_out - 1}) {
                SCOPED_TRACE(testing::Message() << "N = " << n_out << ", " << c.what << ", input in output " << alias);
                State start;
                for (int k = 0; k < n_out; ++k) {
                    start.gain[k] = k % 5 == 1 ? -0.0f : unit(rng);
                    start.target[k] = unit(rng);
                    start.inc[k] = c.still ? 0.0f : unit(rng) * 0x1p-9f;
                }
                start.count = c.count;
                std::vector<float> input(300);
                for (float& x : input)
                    x = unit(rng) * (rng() % 7 == 0 ? 0x1p-30f : 1.0f);

                // The gains sample by sample: the plain rule with a unit input.
                State ref = start;
                std::vector<std::vector<float>> gains(n_out, std::vector<float>(input.size()));
                float* gp[kMaxOutputs];
                for (int k = 0; k < n_out; ++k)
                    gp[k] = gains[k].data();
                const std::vector<float> ones(input.size(), 1.0f);
                reference::ramp_block(ones.data(), gp, n_out, static_cast<int>(input.size()), ref.gain, ref.inc,
                                      ref.target, ref.count);

                State f = start, d = start;
                const auto out_f = run<float>(f, n_out, input, alias);
                const auto out_d = run<double>(d, n_out, input, alias);
                for (int k = 0; k < n_out; ++k) {
                    EXPECT_EQ(bits(f.gain[k]), bits(ref.gain[k])) << "gain " << k;
                    EXPECT_EQ(bits(d.gain[k]), bits(ref.gain[k])) << "gain " << k;
                    EXPECT_EQ(bits(d.inc[k]), bits(f.inc[k])) << "increment " << k;
                    for (std::size_t i = 0; i < input.size(); ++i) {
                        const double exact = static_cast<double>(input[i]) * static_cast<double>(gains[k][i]);
                        ASSERT_EQ(bits(out_d[k][i]), bits(exact)) << "output " << k << ", sample " << i;
                        ASSERT_EQ(bits(static_cast<float>(out_d[k][i])), bits(out_f[k][i]))
                            << "output " << k << ", sample " << i;
                    }
                }
                EXPECT_EQ(d.count, f.count);
                EXPECT_EQ(f.count, ref.count);
            }
}

// Pd64 hands the methods doubles: each becomes the float a 32-bit Pd would
// have stored, so every control value is the same in both.
TEST(SampleType, MessageArgumentsBecomeTheFloatsOf32BitPd)
{
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const float kInf = std::numeric_limits<float>::infinity();
    const float kMax = std::numeric_limits<float>::max();
    const std::pair<double, float> cases[] = {
        {0.3, 0.3f},
        {-0.0, -0.0f},
        {1e-50, 0.0f},
        {-1e-50, -0.0f},
        {1e-40, 1e-40f},                    // a denormal float
        {static_cast<double>(kMax), kMax},
        {0x1.fffffefffffffp+127, kMax},     // just below halfway to 2^128: rounds down
        {0x1.ffffffp+127, kInf},            // halfway: rounds to even, which is infinity
        {1e39, kInf},
        {-1e39, -kInf},
        {1e300, kInf},
        {std::numeric_limits<double>::infinity(), kInf},
        {-std::numeric_limits<double>::infinity(), -kInf},
    };
    for (auto [arg, want] : cases)
        EXPECT_EQ(bits(message_float(arg)), bits(want)) << arg;
    EXPECT_TRUE(std::isnan(message_float(kNaN)));
    // A float argument (32-bit Pd) comes through unchanged.
    for (float f : {0.25f, -3.5f, kMax, -kMax, 0x1p-149f})
        EXPECT_EQ(bits(message_float(f)), bits(f)) << f;
}

// The shared session through the fast kernel with float samples and with
// double samples rounded back to float: both give the digest of every build.
template <typename Sample>
std::uint64_t session_digest()
{
    return test::session_digest([](test::ObjectModel& m, const std::vector<float>& input) {
        State st;
        std::copy(m.gain, m.gain + kMaxOutputs, st.gain);
        std::copy(m.inc, m.inc + kMaxOutputs, st.inc);
        std::copy(m.target, m.target + kMaxOutputs, st.target);
        st.count = m.count;
        std::vector<std::vector<float>> out;
        for (const auto& o : run<Sample>(st, m.n_out, input, -1))
            out.emplace_back(o.begin(), o.end());
        std::copy(st.gain, st.gain + kMaxOutputs, m.gain);
        std::copy(st.inc, st.inc + kMaxOutputs, m.inc);
        m.count = st.count;
        return out;
    });
}

TEST(SampleType, SessionDigestWithFloatAndDoubleSamples)
{
    const std::uint64_t f = session_digest<float>();
    const std::uint64_t d = session_digest<double>();
    std::cout << std::hex << "session digest: float samples 0x" << f << ", double samples 0x" << d << std::dec
              << "\n";
    EXPECT_EQ(f, test::kSessionDigest) << std::hex << "0x" << f;
    EXPECT_EQ(d, test::kSessionDigest) << std::hex << "0x" << d;
}

}  // namespace
