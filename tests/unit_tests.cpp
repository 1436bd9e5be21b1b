// The pure parts without Pd: gain law, controls and the ramp rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "controls.hpp"
#include "gain_law.hpp"
#include "per_count.hpp"
#include "object_model.hpp"
#include "session_replay.hpp"
#include "shared_vectors.hpp"

using namespace rondel;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

std::vector<float> targets(int n, float pos, float dist)
{
    std::vector<float> t(kMaxOutputs, -7.0f);  // sentinel: entries N … 15 must keep it
    kTargetRoutines[n](pos, dist, t.data());
    for (int k = n; k < kMaxOutputs; ++k)
        EXPECT_EQ(t[k], -7.0f) << "entry " << k << " written for N = " << n;
    t.resize(n);
    return t;
}

std::vector<std::uint32_t> bits(const std::vector<float>& v)
{
    std::vector<std::uint32_t> b;
    for (float f : v)
        b.push_back(std::bit_cast<std::uint32_t>(f));
    return b;
}

// ----------------------------------------------------------------- gain law

TEST(GainLaw, WorkedTargetsAreBitExact)
{
    for (const auto& c : test::kWorkedTargets)
        EXPECT_EQ(bits(targets(c.n, c.pos, c.dist)), bits(c.expected))
            << "N = " << c.n << ", position " << c.pos << ", dist " << c.dist;
}

TEST(GainLaw, PowerSumsToOneOnTheCircle)
{
    for (int n = 2; n <= kMaxOutputs; ++n)
        for (int j = 0; j < 997; ++j) {
            const float pos = static_cast<float>(j) * 0.0030103f;
            double power = 0;
            int sounding = 0;
            for (float g : targets(n, pos, 1.0f)) {
                power += static_cast<double>(g) * g;
                sounding += g > 0.01f;
            }
            EXPECT_NEAR(power, 1.0, 1e-5) << "N = " << n << ", position " << pos;
            EXPECT_LE(sounding, 2) << "N = " << n << ", position " << pos;
        }
}

TEST(GainLaw, CentreGivesEqualGainsEverywhere)
{
    for (int n = 2; n <= kMaxOutputs; ++n)
        for (float pos : {0.0f, 0.1f, 0.5f, 0.99f, 7.3f}) {
            const float expected = n == 2 ? 0.70710677f : 0.5f;
            EXPECT_EQ(bits(targets(n, pos, 0.0f)), bits(std::vector<float>(n, expected)))
                << "N = " << n << ", position " << pos;
        }
}

// Sum of the squared gains over positions 0 … 1 in 1/960 steps (a multiple
// of every N here, so each loudspeaker's own position is among them).
std::pair<double, double> power_range(int n, float dist)
{
    double lo = 1e9, hi = 0;
    for (int j = 0; j < 960; ++j) {
        double power = 0;
        for (float g : targets(n, static_cast<float>(j) / 960.0f, dist))
            power += static_cast<double>(g) * g;
        lo = std::min(lo, power);
        hi = std::max(hi, power);
    }
    return {lo, hi};
}

TEST(GainLaw, LoudnessTowardsTheCentreIsAsDocumented)
{
    // The table in the help's gain-law page and in the README, to the
    // digits printed there: the sum's lowest and highest value over positions.
    struct Row { int n; float dist; double lo, hi, tolerance; };
    const Row rows[] = {
        {3, 1.0f, 1, 1, 1e-5},       {8, 1.0f, 1, 1, 1e-5},         {16, 1.0f, 1, 1, 1e-5},
        {3, 0.75f, 0.96, 1.15, 5e-3}, {8, 0.75f, 0.96, 1.15, 5e-3},  {16, 0.75f, 0.96, 1.15, 5e-3},
        {3, 0.5f, 0.98, 1.125, 5e-3}, {8, 0.5f, 1.125, 1.125, 1e-5}, {16, 0.5f, 1.125, 1.125, 1e-5},
        {3, 0.25f, 0.93, 0.98, 5e-3}, {8, 0.25f, 1.56, 1.56, 5e-3},  {16, 0.25f, 1.56, 1.56, 5e-3},
        {3, 0.125f, 0.85, 0.87, 5e-3}, {8, 0.125f, 1.9, 1.9, 5e-3},  {16, 0.125f, 2.53, 2.53, 5e-3},
        {3, 0.0f, 0.75, 0.75, 1e-6},  {8, 0.0f, 2, 2, 1e-6},         {16, 0.0f, 4, 4, 1e-6},
    };
    for (const Row& r : rows) {
        const auto [lo, hi] = power_range(r.n, r.dist);
        EXPECT_NEAR(lo, r.lo, r.tolerance) << "N = " << r.n << ", dist " << r.dist;
        EXPECT_NEAR(hi, r.hi, r.tolerance) << "N = " << r.n << ", dist " << r.dist;
    }
    // From the circle to distance 0.5 the sum stays within 0.93 … 1.16, for any N;
    // at the centre it is N/4 (1 for two loudspeakers).
    for (int n = 2; n <= kMaxOutputs; ++n) {
        for (int i = 50; i <= 100; ++i) {
            const auto [lo, hi] = power_range(n, static_cast<float>(i) / 100.0f);
            EXPECT_GE(lo, 0.925) << "N = " << n << ", dist " << i / 100.0;
            EXPECT_LE(hi, 1.16) << "N = " << n << ", dist " << i / 100.0;
        }
        EXPECT_NEAR(power_range(n, 0.0f).second, n == 2 ? 1.0 : n / 4.0, 1e-6) << "N = " << n;
    }
}

TEST(GainLaw, WholeTurnsChangeNothingForPowersOfTwo)
{
    for (int n : {2, 4, 8, 16})
        for (int j = 0; j < 1024; j += 7)
            for (float turns : {1.0f, 2.0f, 3.0f, 64.0f}) {
                const float pos = static_cast<float>(j) / 1024.0f;
                for (float dist : {1.0f, 0.6f, 0.0f})
                    EXPECT_EQ(bits(targets(n, pos, dist)), bits(targets(n, pos + turns, dist)))
                        << "N = " << n << ", position " << pos << " + " << turns << ", dist " << dist;
            }
}

TEST(GainLaw, OppositeLoudspeakerFallsSilentAtTwoOverN)
{
    // N = 8, source on loudspeaker 1: loudspeaker 5 is opposite.
    EXPECT_EQ(targets(8, 0.0f, 0.25f)[4], 0.0f);
    EXPECT_GT(targets(8, 0.0f, 0.24f)[4], 0.0f);
}

TEST(GainLaw, HugePositionsStayFinite)
{
    for (int n = 2; n <= kMaxOutputs; ++n)
        for (float pos : {8388608.0f, 3.0e38f, std::numeric_limits<float>::max()})
            for (float g : targets(n, pos, 1.0f))
                EXPECT_TRUE(std::isfinite(g) && g >= 0.0f && g <= 1.0f) << "N = " << n << ", position " << pos;
}

// ----------------------------------------------------------------- controls

TEST(Controls, OutputCountFromCreationArgument)
{
    const std::pair<float, int> cases[] = {
        {0, 2}, {1, 2}, {-3, 2}, {2, 2}, {2.5f, 2}, {8, 8}, {15.9f, 15}, {16, 16},
        {16.5f, 16}, {17, 16}, {1e30f, 16}, {kInf, 16}, {-kInf, 2}, {kNaN, 2},
    };
    for (auto [arg, n] : cases)
        EXPECT_EQ(output_count(arg), n) << "argument " << arg;
}

TEST(Controls, PositionAndDistanceClamps)
{
    const std::pair<float, float> positions[] = {
        {0.25f, 0.25f}, {1000.25f, 1000.25f}, {-0.3f, 0}, {-0.0f, -0.0f}, {kNaN, 0}, {kInf, 0}, {-kInf, 0},
    };
    for (auto [arg, stored] : positions)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(clamp_position(arg)), std::bit_cast<std::uint32_t>(stored))
            << "val " << arg;
    const std::pair<float, float> distances[] = {
        {0.5f, 0.5f}, {1, 1}, {0, 0}, {2, 1}, {-1, 0}, {kInf, 1}, {-kInf, 0}, {kNaN, 0},
    };
    for (auto [arg, stored] : distances)
        EXPECT_EQ(clamp_distance(arg), stored) << "dist " << arg;
}

TEST(Controls, RampLengthInSamples)
{
    EXPECT_EQ(default_ramp(44100), 2205);
    EXPECT_EQ(default_ramp(48000), 2400);
    EXPECT_EQ(default_ramp(22050), 1102);
    const std::pair<float, std::int32_t> at44100[] = {
        {100, 4410}, {50, 2205}, {1, 44}, {10.01f, 441}, {0.01f, 0}, {0, 0}, {3050, 134505},
        {-5, 0}, {-kInf, 0}, {kNaN, 0}, {1e12f, kMaxRamp}, {kInf, kMaxRamp},
    };
    for (auto [ms, samples] : at44100)
        EXPECT_EQ(ramp_length(44100, ms), samples) << "line " << ms;
}

}  // namespace

namespace {

// The model of the object through the shared session gives the digest every
// build must reproduce (the Windows plug-in is checked against it under Wine).
TEST(SharedVectors, SessionDigest)
{
    const std::uint64_t digest =
        test::session_digest([](test::ObjectModel& m, const std::vector<float>& in) { return m.process(in); });
    EXPECT_EQ(digest, test::kSessionDigest) << std::hex << "0x" << digest;
}

}  // namespace

namespace {

// The line value's single rounding, against the C library's fmaf, which is
// correctly rounded on glibc: random operands, and ones built to land on or
// next to halfway points between floats.
TEST(GainLaw, OneMinusProductIsRoundedOnce)
{
    std::uint32_t s = 0x9e3779b9u;
    auto next = [&] { s ^= s << 13; s ^= s >> 17; s ^= s << 5; return s; };
    for (int i = 0; i < 2000000; ++i) {
        const float p = static_cast<float>(next() >> 8) * 0x1p-24f * static_cast<float>(1 + i % 32);
        float q = static_cast<float>(next() >> 8) * 0x1p-24f;
        if (i % 3 == 0)
            q = std::ldexp(q, -static_cast<int>(next() % 40));  // tiny products: 1 - tiny
        const float want = std::fma(-p, q, 1.0f);
        const float got = detail::one_minus_product(p, q);
        ASSERT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(want)) << p << " * " << q;
    }
}

}  // namespace
