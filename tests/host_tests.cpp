// The built plug-in in the real Pd host: patches run headless with -batch,
// every outlet recorded and compared sample for sample with the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <sstream>

#include "exact_line.hpp"
#include "object_model.hpp"
#include "pd_runner.hpp"
#include "simd.hpp"

using namespace rondel;
using namespace rondel::test;

namespace {

// Replays the scenario's events on models of its objects, block boundary by
// block boundary, processing only while DSP is on, as the host does.
std::vector<std::vector<std::vector<float>>> expected(const Scenario& s, const std::vector<float>& input)
{
    std::vector<ObjectModel> models;
    for (const std::string& arg : s.objects)
        models.emplace_back(arg.empty() ? 0.0f : std::strtof(arg.c_str(), nullptr), static_cast<float>(s.rate));
    std::vector<std::vector<std::vector<float>>> out(models.size());
    for (std::size_t j = 0; j < models.size(); ++j)
        out[j].resize(models[j].n_out);

    std::vector<Event> events = s.events;
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.at < b.at; });
    const int end = s.duration ? s.duration : s.samples;
    bool dsp = true;
    int now = 0;
    std::size_t done = 0;  // samples processed so far
    auto run_to = [&](int t) {
        if (dsp) {
            const std::size_t n = std::min<std::size_t>(t - now, input.size() - std::min(done, input.size()));
            const std::vector<float> block(input.begin() + done, input.begin() + done + n);
            for (std::size_t j = 0; j < models.size(); ++j) {
                const auto o = models[j].process(block);
                for (int k = 0; k < models[j].n_out; ++k)
                    out[j][k].insert(out[j][k].end(), o[k].begin(), o[k].end());
            }
            done += n;
        }
        now = t;
    };
    for (const Event& e : events) {
        run_to(e.at);
        std::istringstream words(e.message);
        std::string first;
        words >> first;
        const float nan = std::numeric_limits<float>::quiet_NaN();
        auto number = [&](const std::string& w) { return w == "nan" ? nan : std::strtof(w.c_str(), nullptr); };
        if (e.to == "pd") {
            float on = 0;
            words >> on;
            dsp = on != 0;
            continue;
        }
        const int j = e.to[1] - '0';
        const int inlet = e.to.back() - '0';
        ObjectModel& m = models[j];
        std::string arg;
        const bool selector = first == "val" || first == "dist" || first == "line";
        if (selector)
            words >> arg;
        const float f = selector ? (arg.empty() ? 0.0f : number(arg)) : number(first);
        const std::string sel = selector ? first : inlet == 1 ? "val" : inlet == 2 ? "dist" : "line";
        if (sel == "val") m.val(f);
        else if (sel == "dist") m.distance(f);
        else m.line(f);
    }
    run_to(end);
    for (auto& obj : out)
        for (auto& ch : obj)
            ch.resize(std::min<std::size_t>(ch.size(), s.samples), 0.0f);
    return out;
}

std::vector<int> outlet_counts(const Scenario& s)
{
    std::vector<int> n;
    for (const std::string& arg : s.objects)
        n.push_back(output_count(arg.empty() ? 0.0f : std::strtof(arg.c_str(), nullptr)));
    return n;
}

// The host ran to its end and nothing under it reported a fault.
void expect_clean(const std::string& log)
{
    for (const char* fault : {kHostFailed, "Sanitizer", "runtime error", "error:"})
        EXPECT_EQ(log.find(fault), std::string::npos) << log;
}

Recording run(const Scenario& s)
{
    Recording r = run_in_pd(s, outlet_counts(s));
    EXPECT_TRUE(r.ok) << r.log;
    expect_clean(r.log);
    return r;
}

// Every recorded sample equal to the model's, bit for bit, as the host's
// recording keeps it (x86 Pd clears -0 and tiny values to +0).
void expect_as_model(const Scenario& s, const Recording& r)
{
    ASSERT_TRUE(r.ok);
    const HostTraits& rule = host_traits();
    ASSERT_TRUE(rule.known) << "what this host's recording keeps could not be found out:\n" << rule.log;
    const auto want = expected(s, r.input);
    for (std::size_t j = 0; j < want.size(); ++j)
        for (std::size_t k = 0; k < want[j].size(); ++k) {
            const auto& got = r.outlets[j][k];
            ASSERT_EQ(got.size(), static_cast<std::size_t>(s.samples));
            for (std::size_t i = 0; i < want[j][k].size(); ++i) {
                const float w = rule.recorded(want[j][k][i]);
                ASSERT_EQ(std::bit_cast<std::uint32_t>(got[i]), std::bit_cast<std::uint32_t>(w))
                    << "object " << j << ", outlet " << k + 1 << ", sample " << i << ": " << got[i] << " vs " << w;
            }
        }
}

void expect_finite(const Recording& r)
{
    for (const auto& obj : r.finite)
        for (std::size_t k = 0; k < obj.size(); ++k) {
            const auto bad = std::find(obj[k].begin(), obj[k].end(), 0.0f);
            EXPECT_TRUE(bad == obj[k].end()) << "outlet " << k + 1 << " not finite at sample " << bad - obj[k].begin();
        }
}

TEST(Host, WhatTheRecordingKeepsIsFoundOut)
{
    const HostTraits& rule = host_traits();
    ASSERT_TRUE(rule.known) << rule.log;
    expect_clean(rule.log);
    std::cout << "recording keeps -0: " << (rule.keeps_negative_zero ? "yes" : "no (+0)")
              << ", values below 2^-63: " << (rule.keeps_tiny ? "yes" : "no (+0)")
              << "; samples: " << (rule.double_samples ? "double" : "float") << "\n";
    // What the model's comparisons rely on, whatever the host.
    EXPECT_EQ(std::bit_cast<std::uint32_t>(rule.recorded(-0.0f)), rule.keeps_negative_zero ? 0x80000000u : 0u);
    EXPECT_EQ(rule.recorded(1e-30f), rule.keeps_tiny ? 1e-30f : 0.0f);
    EXPECT_EQ(rule.recorded(-1e-30f), rule.keeps_tiny ? -1e-30f : 0.0f);
    EXPECT_EQ(rule.recorded(0x1p-63f), 0x1p-63f);
    EXPECT_EQ(rule.recorded(-0.5f), -0.5f);
}

TEST(Host, BannerIsPostedOnceForManyObjects)
{
    Scenario s;
    s.objects = {"2", "8", ""};
    s.samples = 64;
    const Recording r = run(s);
    EXPECT_EQ(count_of(r.log, std::string(kBanner) + "\n"), 1) << r.log;
    EXPECT_EQ(count_of(r.log, "error"), 0) << r.log;
}

TEST(Host, OutletCountFollowsTheCreationArgument)
{
    const std::pair<std::string, int> cases[] = {
        {"", 2}, {"0", 2}, {"1", 2}, {"-3", 2}, {"2.5", 2}, {"15.9", 15}, {"16.5", 16}, {"17", 16},
    };
    // Each object gets a wire from its last outlet and one from the outlet past it:
    // only the second may fail.
    std::string patch = "#N canvas 0 0 600 600 12;\n";
    int box = 0;
    std::string wires;
    for (const auto& [arg, n] : cases) {
        patch += "#X obj 10 " + std::to_string(10 + 30 * box) + " rondel~" + (arg.empty() ? "" : " " + arg) + ";\n";
        patch += "#X obj 300 " + std::to_string(10 + 30 * box) + " *~;\n";
        wires += "#X connect " + std::to_string(box) + " " + std::to_string(n - 1) + " " + std::to_string(box + 1) + " 0;\n";
        wires += "#X connect " + std::to_string(box) + " " + std::to_string(n) + " " + std::to_string(box + 1) + " 1;\n";
        box += 2;
    }
    const std::string log = run_patch(patch + wires + "#X obj 10 500 loadbang;\n#X msg 10 530 \\; pd quit;\n#X connect " +
                                      std::to_string(box) + " 0 " + std::to_string(box + 1) + " 0;\n");
    EXPECT_EQ(count_of(log, "connection failed"), 8) << log;
    EXPECT_EQ(log.find(kHostFailed), std::string::npos) << log;
    box = 0;
    for (const auto& [arg, n] : cases) {
        const std::string failed = "main.pd " + std::to_string(box) + " " + std::to_string(n) + " " +
                                   std::to_string(box + 1) + " 1 (rondel~->*~) connection failed";
        EXPECT_EQ(count_of(log, failed), 1) << "argument '" << arg << "'\n" << log;
        box += 2;
    }
}

TEST(Host, DefaultRampIsFiftyMilliseconds)
{
    for (auto [rate, ramp] : {std::pair{44100, 2205}, std::pair{48000, 2400}}) {
        Scenario s;
        s.objects = {"4"};
        s.source = "sig~ 1";
        s.rate = rate;
        s.samples = 2560;
        s.events = {{0, "o0in0", "val 0.25"}};
        const Recording r = run(s);
        ASSERT_TRUE(r.ok);
        const auto& out = r.outlets[0];
        EXPECT_NE(out[1][ramp - 1], 1.0f) << rate;
        EXPECT_EQ(out[1][ramp], 1.0f) << rate;  // the snap: sample R + 1
        EXPECT_EQ(out[0][ramp], 0.0f) << rate;
        expect_as_model(s, r);
    }
}

TEST(Host, FreshObjectKeepsOutputOneUntilTheFirstMove)
{
    Scenario s;
    s.objects = {"3"};
    s.samples = 6000;  // well past the first countdown of 2205
    const Recording r = run(s);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.outlets[0][0], r.input);
    EXPECT_EQ(r.outlets[0][1], std::vector<float>(s.samples, 0.0f));
    EXPECT_EQ(r.outlets[0][2], std::vector<float>(s.samples, 0.0f));
    EXPECT_NE(std::count(r.input.begin(), r.input.end(), 0.0f), s.samples);
}

TEST(Host, RightInletsActAsTheirMessages)
{
    Scenario msgs;
    msgs.objects = {"5", "5"};
    msgs.samples = 8192;
    msgs.events = {{0, "o0in0", "line 20"}, {0, "o0in0", "val 0.3"}, {1280, "o0in0", "dist 0.4"},
                   {0, "o1in3", "20"},      {0, "o1in1", "0.3"},     {1280, "o1in2", "0.4"}};
    const Recording r = run(msgs);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.outlets[0], r.outlets[1]);
    expect_as_model(msgs, r);
}

TEST(Host, MovesRampsAndLineChangesAsTheModelSays)
{
    Scenario s;
    s.objects = {"8", "2"};
    s.samples = 16384;
    s.events = {
        {0, "o0in1", "0.125"},  {0, "o1in1", "0.25"},  // on the circle, defaults
        {640, "o0in3", "10"},                          // line during a ramp: the ramp runs on
        {1280, "o0in1", "0.6"}, {1280, "o1in2", "0.5"},
        {3200, "o0in2", "0.3"}, {3200, "o1in0", "val 1.75"},
        {5120, "o0in3", "0"},   {5184, "o0in1", "-0.3"},  // R = 0: jump; negative position: 0
        {6400, "o0in0", "val"}, {6400, "o1in0", "dist"},  // missing arguments: 0
        {7040, "o0in3", "100"}, {7040, "o0in1", "0.9"},   // restart halfway through
        {9024, "o0in2", "1"},
    };
    expect_as_model(s, run(s));
}

TEST(Host, DspOffHoldsTheRampAndOnResumesIt)
{
    Scenario s;
    s.objects = {"4"};
    s.samples = 4096;
    s.duration = 4096 + 1920;
    s.events = {{0, "o0in1", "0.25"},
                {640, "pd", "dsp 0"},
                {1280, "o0in1", "0.5"},  // while off: starts from the gains held
                {2560, "pd", "dsp 1"}};
    expect_as_model(s, run(s));
}

TEST(Host, TwoObjectsKeepTheirOwnState)
{
    Scenario s;
    s.objects = {"6", "6"};
    s.samples = 8192;
    s.events = {{0, "o0in3", "5"}, {640, "o0in1", "0.5"}, {640, "o1in1", "0.5"}};
    const Recording r = run(s);
    expect_as_model(s, r);
    EXPECT_NE(r.outlets[0], r.outlets[1]);
}

TEST(Host, BlockSizesOverlapAndBufferReuse)
{
    // Inside an overlapped subpatch the object, its source and its recorders
    // all see one continuous stream, processed in blocks of the given size.
    for (const char* block : {"1", "16", "256", "1024", "4096", "256 4", "64 2"})
        for (bool own_buffer : {false, true}) {
            Scenario s;
            s.objects = {"7", "2"};
            s.block = block;
            s.own_buffer = own_buffer;
            s.samples = 8192;
            s.events = {{0, "o0in3", "30"}, {0, "o0in1", "0.4"}, {0, "o0in2", "0.6"}, {0, "o1in1", "0.1"}};
            SCOPED_TRACE(testing::Message() << "block~ " << block << (own_buffer ? ", own buffer" : ""));
            expect_as_model(s, run(s));
        }
}

TEST(Host, MovesThroughAReusedBuffer)
{
    Scenario s;
    s.objects = {"16", "3"};
    s.own_buffer = true;
    s.samples = 8192;
    s.events = {{0, "o0in1", "0.3"}, {640, "o0in2", "0.2"}, {1280, "o1in1", "0.9"}, {1920, "o0in3", "1"},
                {1984, "o0in1", "0.55"}, {3200, "o1in2", "0"}};
    expect_as_model(s, run(s));
}

TEST(Host, ValuesThatUsedToBreakTheRampStayFinite)
{
    Scenario s;
    s.objects = {"16", "3"};
    s.samples = 8192;
    s.finite = true;
    s.events = {
        {0, "o0in3", "-5"},       {0, "o0in1", "0.3"},   // negative ramp time: jumps at once
        {640, "o0in1", "nan"},                             // NaN position: 0
        {1280, "o0in2", "nan"},                            // NaN distance: the centre
        {1920, "o0in1", "1e+39"},                          // infinite position: 0
        {2560, "o0in3", "1e+30"}, {2560, "o0in2", "1"},  // longest ramp
        {3200, "o1in3", "-1e+30"}, {3200, "o1in1", "0.7"},
        {3840, "o1in0", "line -0.02"}, {3840, "o1in2", "-1e+39"},
    };
    const Recording r = run(s);
    expect_finite(r);
    expect_as_model(s, r);
}

// Run on purpose only (tests/scratch_check.sh): a failing test keeps its
// scratch folder and says where it is.
TEST(Scratch, DISABLED_FailsOnPurpose)
{
    run_patch("#N canvas 0 0 300 200 12;\n#X obj 10 10 loadbang;\n#X msg 10 40 \\; pd quit;\n#X connect 0 0 1 0;\n");
    ADD_FAILURE() << "failing on purpose";
}

}  // namespace

namespace {

// Long fades in the host, looked at where a float accumulator went wrong:
// the first samples of a 30-minute fade (which must already move) and the
// last samples of fades of 10 and 30 minutes (which must stay on the line,
// never below 0, and land on the target). Only those windows are recorded.
TEST(Host, LongFadesMoveFromTheStartAndEndOnTheirLine)
{
    struct Window {
        float minutes;
        int record_at;  // a block boundary
    };
    const std::int64_t r30 = ramp_length(44100, 1800000), r10 = ramp_length(44100, 600000);
    const Window windows[] = {
        {30, 0},
        {30, static_cast<int>((r30 - 3000) / 64 * 64)},
        {10, static_cast<int>((r10 - 3000) / 64 * 64)},
    };
    for (const Window& w : windows) {
        const std::int64_t R = ramp_length(44100, w.minutes * 60000);
        SCOPED_TRACE(testing::Message() << w.minutes << " minutes (R = " << R << "), from sample " << w.record_at);
        Scenario s;
        s.objects = {"2"};
        s.source = "sig~ 1";
        s.record_at = w.record_at;
        s.events = {{0, "o0in0", "line " + std::to_string(static_cast<int>(w.minutes * 60000))},
                    {0, "o0in1", "0.5"}};  // output 1 fades from 1 to 0, output 2 from 0 to 1
        const Recording r = run(s);
        ASSERT_TRUE(r.ok);
        for (int i = 0; i < s.samples; ++i) {
            const std::int64_t j = w.record_at + i + 1;  // samples since the move
            const float down = j <= R ? test::exact_line(1, 0, j, R) : 0.0f;
            const float up = j <= R ? test::exact_line(0, 1, j, R) : 1.0f;
            ASSERT_EQ(r.outlets[0][0][i], down) << "outlet 1, sample " << j;
            ASSERT_EQ(r.outlets[0][1][i], up) << "outlet 2, sample " << j;
            ASSERT_GE(r.outlets[0][0][i], 0.0f) << "sample " << j;
        }
        if (w.record_at == 0) {
            EXPECT_LT(r.outlets[0][0][63], 1.0f) << "the fade moves within its first block";
        }
    }
}

// A move late in a long fade starts from the gain the fade has reached.
TEST(Host, MoveLateInALongFadeStartsFromTheGainReached)
{
    const int at = 21168000;  // 8 minutes into a 10-minute fade, a block boundary
    Scenario s;
    s.objects = {"2"};
    s.source = "sig~ 1";
    s.record_at = at - 2048;
    s.samples = 2048 + 2304;
    s.events = {{0, "o0in0", "line 600000"}, {0, "o0in1", "0.5"}, {at, "o0in0", "line 50"}, {at, "o0in1", "0"}};
    const Recording r = run(s);
    ASSERT_TRUE(r.ok);
    const auto& down = r.outlets[0][0];
    ASSERT_EQ(down.size(), static_cast<std::size_t>(s.samples));
    const std::int64_t R = ramp_length(44100, 600000);
    for (int i = 0; i < 2048; ++i)
        ASSERT_EQ(down[i], test::exact_line(1, 0, s.record_at + i + 1, R)) << "sample " << s.record_at + i + 1;
    const double reached = down[2047];
    EXPECT_NEAR(down[2048], reached + (1.0 - reached) / 2206, 1e-7) << "the first step back up";
    EXPECT_NE(down[2048 + 2204], 1.0f);
    EXPECT_EQ(down[2048 + 2205], 1.0f) << "the snap, 2206 samples after the move";
}

// The plug-in takes the widest vector path the CPU has, says which with
// pd -verbose, and takes the baseline when RONDEL_SIMD asks for it; every
// path gives the same samples.
TEST(Host, VectorPathIsChosenAtLoadAndEveryPathAgrees)
{
    Scenario s;
    s.objects = {"16", "5"};
    s.samples = 8192;
    s.events = {{0, "o0in3", "30"}, {0, "o0in1", "0.3"}, {640, "o0in2", "0.4"}, {1280, "o1in1", "0.7"}};
    // The plug-in under test may be another build's (RONDEL_PLUGIN_DIR): a
    // plug-in for ARM or Pd64 has the portable path only.
    const char* dispatches = std::getenv("RONDEL_PLUGIN_DISPATCHES");
    const bool dispatch = dispatches && *dispatches ? std::string(dispatches) != "0" : RONDEL_PLUGIN_DISPATCHES;
    const std::string widest = !dispatch ? "portable" : cpu_has_avx2() ? "avx2" : "sse2";
    const std::string baseline = dispatch ? "sse2" : "portable";
    for (const std::string& wanted : {std::string(), std::string("sse2")}) {
        SCOPED_TRACE("RONDEL_SIMD=" + wanted);
        s.environment = "RONDEL_SIMD=" + wanted;
        s.pd_flags = "-verbose";
        const Recording r = run_in_pd(s, outlet_counts(s));
        ASSERT_TRUE(r.ok) << r.log;
        const std::string chosen = wanted.empty() ? widest : baseline;
        EXPECT_NE(r.log.find("rondel~: " + chosen + " perform routines"), std::string::npos) << r.log;
        expect_as_model(s, r);
    }
}

}  // namespace
