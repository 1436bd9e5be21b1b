// The kernel with double samples (Pd64) against the float one: the gains are
// the same floats, and each double output is the exact product of the input
// and the gain, so it rounds back to the float build's sample.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <random>
#include <vector>

#include "controls.hpp"
#include "dispatch.hpp"
#include "object_model.hpp"
#include "reference_ramp.hpp"
#include "session_replay.hpp"
#include "shared_vectors.hpp"

using namespace rondel;

namespace {

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }
std::uint64_t bits(double d) { return std::bit_cast<std::uint64_t>(d); }

// Runs one block of `input` through `routine` with samples of type Sample on
// the model's state; `alias` is the output that shares the input's memory, or -1.
template <typename Sample>
std::vector<std::vector<Sample>> run(test::BlockRoutine<Sample> routine, test::ObjectModel& m,
                                     const std::vector<float>& input, int alias)
{
    const int len = static_cast<int>(input.size());
    std::vector<std::vector<Sample>> bufs(m.n_out + 1, std::vector<Sample>(len));
    Sample* out[kMaxOutputs] = {};
    for (int k = 0; k < m.n_out; ++k)
        out[k] = bufs[k].data();
    Sample* in = alias >= 0 ? out[alias] : bufs[m.n_out].data();
    for (int i = 0; i < len; ++i)
        in[i] = static_cast<Sample>(input[i]);
    routine(in, out, len, m.state());
    bufs.resize(m.n_out);
    return bufs;
}

// The widest float path this build and CPU have, and the double kernel.
test::BlockRoutine<float> float_routine(int n) { return (*test::float_paths().back().routines)[n]; }
test::BlockRoutine<double> double_routine(int n)
{
    return test::kBlockRoutinesOn<lanes::Portable<double>, double>[n];
}

TEST(SampleType, DoubleOutputIsTheExactProductOfTheFloatGain)
{
    struct Case {
        const char* what;
        std::int32_t ramp;  // length of the ramp started before the block
        int before;         // samples run before the block
    };
    const Case cases[] = {
        {"ramping through the block", 5000, 0},
        {"snap inside the block", 100, 23},
        {"snap on the first sample", 40, 40},
        {"held after the snap", 10, 64},
        {"jump (no ramp)", 0, 0},
    };
    std::mt19937 rng(20261211);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int n_out : {2, 3, 4, 5, 8, 13, 16})
        for (const Case& c : cases)
            for (int alias : {-1, 0, n_out - 1}) {
                SCOPED_TRACE(testing::Message() << "N = " << n_out << ", " << c.what << ", input in output " << alias);
                test::ObjectModel start(static_cast<float>(n_out), 44100.0f);
                start.line(1000.0f * static_cast<float>(c.ramp) / 44100.0f + 1e-3f);
                start.val(unit(rng) + 1.0f);
                start.distance(std::fabs(unit(rng)));
                start.process(std::vector<float>(c.before, 1.0f));
                std::vector<float> input(300);
                for (float& x : input)
                    x = unit(rng) * (rng() % 7 == 0 ? 0x1p-30f : 1.0f);

                // The gains sample by sample: the plain rule with a unit input.
                test::ObjectModel ref = start;
                const auto gains = ref.process(std::vector<float>(input.size(), 1.0f));
                test::ObjectModel f = start, d = start;
                const auto out_f = run<float>(float_routine(n_out), f, input, alias);
                const auto out_d = run<double>(double_routine(n_out), d, input, alias);
                for (int k = 0; k < n_out; ++k) {
                    EXPECT_EQ(bits(d.gain[k]), bits(ref.gain[k])) << "gain " << k;
                    EXPECT_EQ(bits(f.gain[k]), bits(ref.gain[k])) << "gain " << k;
                    for (std::size_t i = 0; i < input.size(); ++i) {
                        const double exact = static_cast<double>(input[i]) * static_cast<double>(gains[k][i]);
                        ASSERT_EQ(bits(out_d[k][i]), bits(exact)) << "output " << k << ", sample " << i;
                        ASSERT_EQ(bits(static_cast<float>(out_d[k][i])), bits(out_f[k][i]))
                            << "output " << k << ", sample " << i;
                    }
                }
                EXPECT_EQ(d.count, ref.count);
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
// The matrix (scripts/matrix.sh) reads the line this test prints.
TEST(SampleType, SessionDigestWithFloatAndDoubleSamples)
{
    const std::uint64_t f = test::session_digest([](test::ObjectModel& m, const std::vector<float>& in) {
        return run<float>(float_routine(m.n_out), m, in, -1);
    });
    const std::uint64_t d = test::session_digest([](test::ObjectModel& m, const std::vector<float>& in) {
        std::vector<std::vector<float>> out;
        for (const auto& o : run<double>(double_routine(m.n_out), m, in, -1))
            out.emplace_back(o.begin(), o.end());
        return out;
    });
    std::cout << std::hex << "session digest: float samples 0x" << f << ", double samples 0x" << d << std::dec
              << "\n";
    EXPECT_EQ(f, test::kSessionDigest) << std::hex << "0x" << f;
    EXPECT_EQ(d, test::kSessionDigest) << std::hex << "0x" << d;
}

}  // namespace
