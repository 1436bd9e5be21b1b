// The ramp rule with the fast kernel, on every vector path this build has:
// worked examples, the snap, restarts, and fades of up to half an hour that
// must stay on their line to the last sample.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "controls.hpp"
#include "dispatch.hpp"
#include "exact_line.hpp"

using namespace rondel;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// One object's ramp state, run with one path's kernel.
struct Ramp {
    const test::BlockRoutines<float>* routines;
    int n_out;
    float gain[kMaxOutputs] = {}, start[kMaxOutputs] = {}, target[kMaxOutputs] = {};
    double step[kMaxOutputs] = {};
    std::int32_t count = 0, length = 0;

    Ramp(const test::Path& p, int n) : routines(p.routines), n_out(n) {}

    RampState state() { return {gain, start, step, target, &count, &length}; }
    void restart(std::int32_t ramp) { restart_ramp(state(), ramp); }

    // Runs one block of constant input 1 and returns each output's samples: the gains.
    std::vector<std::vector<float>> block(int len)
    {
        std::vector<float> in(len, 1.0f);
        std::vector<std::vector<float>> out(n_out, std::vector<float>(len));
        float* ptrs[kMaxOutputs];
        for (int k = 0; k < n_out; ++k)
            ptrs[k] = out[k].data();
        (*routines)[n_out](in.data(), ptrs, len, state());
        return out;
    }
};

// Runs `body` once per vector path, each named in a failure.
template <typename Body>
void on_every_path(Body body)
{
    for (const test::Path& p : test::float_paths()) {
        SCOPED_TRACE(simd_name(p.simd));
        body(p);
    }
}

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

TEST(RampRule, ExactLineHelperAgreesWithHandValues)
{
    EXPECT_EQ(test::exact_line(0, 1, 1, 3), 0.25f);
    EXPECT_EQ(test::exact_line(0.5f, 0, 64, 127), 0.25f);
    EXPECT_EQ(test::exact_line(0, 1, 1, 2), 1.0f / 3);              // 1/3 rounded to nearest
    EXPECT_EQ(test::exact_line(1, 0, 2, 2), 1.0f / 3);
    EXPECT_EQ(test::exact_line(0, 1, 2, 2), 2.0f / 3);
    EXPECT_EQ(test::exact_line(0, 1, 0, 9), 0.0f);
}

TEST(RampRule, ThreeStepsThenTheSnap)
{
    on_every_path([](const test::Path& p) {
        Ramp r(p, 2);
        r.target[0] = 1.0f;
        r.restart(3);
        EXPECT_EQ(r.step[0], 0.25);
        EXPECT_EQ(r.count, 3);
        EXPECT_EQ(r.block(8)[0], (std::vector<float>{0.25f, 0.5f, 0.75f, 1, 1, 1, 1, 1}));
        EXPECT_EQ(r.step[0], 0.0);
        EXPECT_EQ(r.start[0], 1.0f);
        EXPECT_EQ(r.count, 3 - 8);
    });
}

TEST(RampRule, ZeroLengthJumpsAtOnce)
{
    on_every_path([](const test::Path& p) {
        Ramp r(p, 3);
        r.gain[0] = 1.0f;
        r.target[2] = 0.5f;
        r.restart(0);
        const auto out = r.block(4);
        EXPECT_EQ(out[0], std::vector<float>(4, 0.0f));
        EXPECT_EQ(out[2], std::vector<float>(4, 0.5f));
    });
}

TEST(RampRule, SnapFallsOnSample37OfTheSecondBlock)
{
    on_every_path([](const test::Path& p) {
        Ramp r(p, 4);
        r.target[1] = 1.0f;
        r.target[3] = 0.3f;
        r.restart(100);
        r.block(64);
        const auto second = r.block(64);
        for (int k : {1, 3}) {
            EXPECT_NE(second[k][35], r.target[k]);
            for (int i = 36; i < 64; ++i)
                EXPECT_EQ(second[k][i], r.target[k]) << "output " << k << ", sample " << i + 1;
        }
    });
}

TEST(RampRule, RestartHalfwayDescendsFromWhereItStands)
{
    on_every_path([](const test::Path& p) {
        Ramp r(p, 2);
        r.target[0] = 1.0f;
        r.restart(127);
        EXPECT_EQ(r.block(64)[0][63], 0.5f);
        r.target[0] = 0.0f;
        r.restart(127);
        EXPECT_EQ(r.step[0], -1.0 / 256);
        std::vector<float> descent;
        for (int b = 0; b < 3; ++b) {
            const auto out = r.block(64);
            descent.insert(descent.end(), out[0].begin(), out[0].end());
        }
        for (int j = 1; j <= 192; ++j)
            EXPECT_EQ(descent[j - 1], j <= 128 ? 0.5f - static_cast<float>(j) / 256 : 0.0f) << "sample " << j;
    });
}

TEST(RampRule, SameTargetsAgainChangeNothing)
{
    on_every_path([](const test::Path& p) {
        Ramp r(p, 8);
        for (int k = 0; k < 8; ++k)
            r.gain[k] = r.target[k] = 0.1f * static_cast<float>(k);
        r.restart(2205);
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(r.step[k], 0.0);
        const auto out = r.block(64);
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(out[k], std::vector<float>(64, r.target[k]));
    });
}

TEST(RampRule, EmptyBlockLeavesTheStateAsItWas)
{
    on_every_path([](const test::Path& p) {
        Ramp r(p, 16);
        r.target[5] = 1.0f;
        r.restart(10);
        const double step5 = r.step[5];
        r.block(0);
        EXPECT_EQ(r.count, 10);
        EXPECT_EQ(r.gain[5], 0.0f);
        EXPECT_EQ(r.step[5], step5);
    });
}

TEST(RampRule, EntriesPastNAreNeitherReadNorWritten)
{
    on_every_path([](const test::Path& p) {
        for (int n = 2; n < kMaxOutputs; ++n) {
            Ramp r(p, n);
            r.target[0] = 1.0f;
            r.restart(5);
            for (int k = n; k < kMaxOutputs; ++k) {
                r.gain[k] = r.start[k] = r.target[k] = kNaN;
                r.step[k] = 3.0;  // would show up in any output that read it
            }
            for (int b = 0; b < 3; ++b)
                for (const auto& out : r.block(7))
                    for (float g : out)
                        EXPECT_TRUE(g >= 0.0f && g <= 1.0f) << "N = " << n;
            for (int k = n; k < kMaxOutputs; ++k) {
                EXPECT_TRUE(std::isnan(r.gain[k]) && std::isnan(r.start[k]) && std::isnan(r.target[k]))
                    << "N = " << n << ", entry " << k;
                EXPECT_EQ(r.step[k], 3.0) << "N = " << n << ", entry " << k;
            }
        }
    });
}

TEST(RampRule, RestartOverAllSixteenEntriesGivesZeroPastN)
{
    // Past N, gains and targets hold 0: whatever the length, the steps stay 0.
    for (std::int32_t ramp : {0, 1, 2205, kMaxRamp}) {
        Ramp r(test::float_paths()[0], 5);
        r.gain[0] = 1.0f;
        kTargetRoutines[5](0.3f, 0.7f, r.target);
        r.restart(ramp);
        for (int k = 5; k < kMaxOutputs; ++k)
            EXPECT_EQ(std::bit_cast<std::uint64_t>(r.step[k]), 0u) << "R = " << ramp << ", entry " << k;
        EXPECT_EQ(r.count, ramp);
        EXPECT_EQ(r.length, ramp);
    }
}

// Fades as long as installations use, at 44.1 kHz, run sample by sample in
// blocks: each gain is the float nearest its exact line value at every
// checked point, no gain leaves the segment between start and target or
// moves back, and the snap lands on the target from the neighbouring float.
TEST(LongFades, StayOnTheirLineToTheLastSample)
{
    struct Fade {
        const char* what;
        double seconds;
        float from, to;
    };
    const Fade fades[] = {
        {"1 s, 0 to 1", 1, 0.0f, 1.0f},
        {"60 s, 1 to 0", 60, 1.0f, 0.0f},
        {"5 min, 0.707 to 0.5", 300, 0.70710677f, 0.5f},
        {"10 min, 1 to 0", 600, 1.0f, 0.0f},
        {"30 min, 1 to 0", 1800, 1.0f, 0.0f},
    };
    on_every_path([&](const test::Path& p) {
        for (const Fade& f : fades) {
            SCOPED_TRACE(f.what);
            Ramp r(p, 2);
            r.gain[0] = f.from;
            r.target[0] = f.to;
            const std::int32_t big = ramp_length(44100, static_cast<float>(f.seconds * 1000));
            r.restart(big);
            const std::int64_t R = big;
            const std::vector<std::int64_t> points = {1, 2, 3, R / 3, R / 2, 2 * R / 3, R - 2, R - 1, R};
            const float lo = std::min(f.from, f.to), hi = std::max(f.from, f.to);
            float last = f.from;
            std::int64_t j = 0;  // samples processed since the restart
            std::size_t next_point = 0;
            int bad = 0;
            while (j <= R) {
                const int len = static_cast<int>(std::min<std::int64_t>(4096, R + 1 - j));
                const auto out = r.block(len);
                for (int i = 0; i < len && bad < 5; ++i) {
                    const float g = out[0][i];
                    ++j;
                    if (j == R + 1) {
                        EXPECT_EQ(g, f.to) << "the snap";
                        const double one_step = std::fabs(static_cast<double>(f.to) - f.from) / (R + 1);
                        EXPECT_LE(std::fabs(static_cast<double>(f.to) - last), one_step * (1 + 1e-6))
                            << "the snap jumps from " << last;
                    } else if (g < lo || g > hi || (f.to < f.from ? g > last : g < last)) {
                        ADD_FAILURE() << "sample " << j << ": " << g << " after " << last;
                        ++bad;
                    }
                    if (next_point < points.size() && j == points[next_point]) {
                        EXPECT_EQ(bits(g), bits(test::exact_line(f.from, f.to, j, R))) << "sample " << j << " of " << R;
                        ++next_point;
                    }
                    last = g;
                }
                if (bad >= 5)
                    break;
            }
            EXPECT_EQ(next_point, points.size());
        }
    });
}

// The longest ramp the object counts: its last samples, reached by setting
// the counter, sit where the line says, and the snap follows.
TEST(LongFades, TheLongestRampEndsOnItsLine)
{
    on_every_path([](const test::Path& p) {
        Ramp r(p, 3);
        r.target[2] = 0.75f;
        r.restart(kMaxRamp);
        r.count = 6;  // as if 2^31 - 8 samples had run
        const auto out = r.block(8);
        const std::int64_t R = kMaxRamp;
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(bits(out[2][i]), bits(test::exact_line(0.0f, 0.75f, R - 5 + i, R))) << "sample " << i;
        EXPECT_EQ(out[2][6], 0.75f);
        EXPECT_EQ(out[2][7], 0.75f);
    });
}

// A restart late in a long fade starts from the gain the fade has reached.
TEST(LongFades, RestartLateStartsFromTheGainReached)
{
    on_every_path([](const test::Path& p) {
        Ramp r(p, 2);
        r.gain[0] = 1.0f;
        r.restart(ramp_length(44100, 60000));  // 60 s to 0
        r.count -= 2000000;                    // skip ahead: the state as after 2000000 samples
        const float reached = r.block(1)[0][0];
        EXPECT_EQ(bits(reached), bits(test::exact_line(1.0f, 0.0f, 2000001, 2646000)));
        r.target[0] = 1.0f;
        r.restart(441);
        EXPECT_EQ(r.start[0], reached);
        const auto out = r.block(442);
        EXPECT_EQ(out[0][0], static_cast<float>(reached + (1.0 - reached) / 442));
        EXPECT_EQ(out[0][441], 1.0f);
    });
}

}  // namespace
