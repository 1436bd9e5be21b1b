// [rondel~ -m N] in the real host. Where the host has multichannel signals
// (Pd 0.54 on) it has one outlet of N channels, split again with
// [snake~ out N] to be recorded; in older hosts it has N separate outlets and
// says so once in the console. Either way its samples are those of
// [rondel~ N] under the same messages, bit for bit. The tests that need one
// kind of host skip, with a note, in the other: run them in both by pointing
// RONDEL_PD at each (scripts/hosts.sh brings up Pd 0.55 and 0.57, and
// scripts/pd_command.sh prints the command for each).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "controls.hpp"
#include "pd_runner.hpp"

using namespace rondel;
using namespace rondel::test;

namespace {

const char* const kFallback = "rondel~: -m needs Pd 0.54 or newer";
const char* const kRefused = "rondel~: can't take multichannel inputs (2 channels): outputs silent";

std::string host_name()
{
    const PdVersion v = host_version();
    return pd_command() + " (Pd " + std::to_string(v.major) + "." + std::to_string(v.minor) + ")";
}

#define SKIP_UNLESS_MULTICHANNEL(want)                                                               \
    do {                                                                                             \
        if (host_version().multichannel() != (want))                                                 \
            GTEST_SKIP() << "needs a Pd " << ((want) ? "with" : "without")                           \
                         << " multichannel signals; this run's is " << host_name()                   \
                         << ((want) ? ": set RONDEL_PD to Pd 0.54 or newer (scripts/pd_command.sh amd64-0.57)" : ""); \
    } while (0)

// Outputs of [rondel~ ARGS] as its creation arguments ask (N after the flags).
int outputs_for(const std::string& args)
{
    std::string rest = args;
    while (rest.rfind("-m", 0) == 0)
        rest = rest.size() > 2 ? rest.substr(3) : "";
    return output_count(rest.empty() ? 0.0f : std::strtof(rest.c_str(), nullptr));
}

Recording run_split(Scenario s)
{
    s.split_multichannel = host_version().multichannel();
    std::vector<int> outlets;
    for (const std::string& a : s.objects)
        outlets.push_back(outputs_for(a));
    Recording r = run_in_pd(s, outlets);
    EXPECT_TRUE(r.ok) << r.log;
    for (const char* fault : {kHostFailed, "error", "Sanitizer", "runtime error", "couldn't create"})
        EXPECT_EQ(r.log.find(fault), std::string::npos) << r.log;
    EXPECT_EQ(count_of(r.log, kFallback), host_version().multichannel() ? 0 : 1) << r.log;
    return r;
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Object `a` and object `b` of the recording carried the same samples on every
// output, and those samples moved (so that the comparison proves something).
void expect_same_outputs(const Recording& r, std::size_t a, std::size_t b)
{
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.outlets[a].size(), r.outlets[b].size());
    int moving = 0;
    for (std::size_t k = 0; k < r.outlets[a].size(); ++k) {
        EXPECT_TRUE(same_bits(r.outlets[a][k], r.outlets[b][k])) << "output " << k + 1;
        const auto& o = r.outlets[a][k];
        moving += std::count(o.begin(), o.end(), o.front()) != static_cast<long>(o.size());
    }
    EXPECT_GE(moving, 2);
}

// Messages that land mid-ramp and off block boundaries, the same for objects 0 and 1.
std::vector<Event> same_moves_for_both()
{
    const std::vector<std::pair<int, std::vector<std::pair<int, std::string>>>> moves = {
        {0, {{3, "20"}, {1, "0.3"}}},             // 882-sample ramps
        {400, {{0, "val 0.71"}}},                 // before the first ramp has landed
        {1000, {{2, "0.4"}}},                     //
        {1290, {{0, "line 3"}, {0, "val 0.05"}}}, // a short ramp, mid-block
        {1300, {{1, "0.95"}}},                    // restart 10 samples later
        {3100, {{2, "0"}}},                       // to the centre: every output sounds
        {3333, {{3, "0"}, {2, "1"}}},             // a jump
    };
    std::vector<Event> events;
    for (const auto& [at, list] : moves)
        for (const auto& [inlet, message] : list)
            for (int j = 0; j < 2; ++j)
                events.push_back({at, "o" + std::to_string(j) + "in" + std::to_string(inlet), message});
    return events;
}

TEST(Multichannel, SameSamplesAsSeparateOutlets)
{
    struct Case {
        int n;
        const char* block;  // block~ of the subpatch; empty: 64
        bool own_buffer;
    };
    const Case cases[] = {
        {2, "", false}, {3, "1", false}, {8, "", true}, {8, "16", false},
        {16, "256 4", false}, {5, "1024", true}, {16, "", true},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.objects = {"-m " + std::to_string(c.n), std::to_string(c.n)};
        s.source = "noise~";
        s.block = c.block;
        s.own_buffer = c.own_buffer;
        s.samples = 6144;
        s.events = same_moves_for_both();
        SCOPED_TRACE(testing::Message() << "N = " << c.n << ", block~ " << c.block << (c.own_buffer ? ", own buffer" : "")
                                        << ", " << host_name());
        expect_same_outputs(run_split(s), 0, 1);
    }
}

TEST(Multichannel, FlagsComeBeforeTheCount)
{
    // N is read after the flags, as Pd's own objects read theirs; a source
    // placed on loudspeaker N shows that there are N outputs, no more and no fewer.
    const std::pair<std::string, int> cases[] = {
        {"-m 8", 8}, {"-m", 2}, {"-m -m 4", 4}, {"-m 2.5", 2}, {"-m 0", 2}, {"-m 20", 16}, {"-m 16", 16}, {"6 -m", 6},
    };
    Scenario s;
    s.objects.clear();
    s.source = "sig~ 1";
    s.samples = 256;
    for (std::size_t j = 0; j < std::size(cases); ++j) {
        const auto& [args, n] = cases[j];
        ASSERT_EQ(outputs_for(args), n) << args;
        s.objects.push_back(args);
        const std::string to = "o" + std::to_string(j) + "in0";
        s.events.push_back({0, to, "line 0"});
        s.events.push_back({0, to, "val " + std::to_string(static_cast<double>(n - 1) / n)});
    }
    const Recording r = run_split(s);
    ASSERT_TRUE(r.ok);
    for (std::size_t j = 0; j < std::size(cases); ++j) {
        const auto& [args, n] = cases[j];
        ASSERT_EQ(r.outlets[j].size(), static_cast<std::size_t>(n));
        EXPECT_GT(r.outlets[j][n - 1][100], 0.99f) << "rondel~ " << args;
        for (int k = 0; k < n - 1; ++k)
            EXPECT_LT(r.outlets[j][k][100], 0.2f) << "rondel~ " << args << ", output " << k + 1;
    }
}

TEST(Multichannel, UnknownFlagsAndWordsAreRefused)
{
    const std::pair<std::string, std::string> cases[] = {
        {"-x 4", "rondel~: unknown flag -x"},
        {"-M 4", "rondel~: unknown flag -M"},
        {"- 4", "rondel~: unknown flag -"},
        {"four", "rondel~: N must be a number"},
        {"-m four", "rondel~: N must be a number"},
    };
    std::string patch = "#N canvas 0 0 600 600 12;\n";
    for (std::size_t j = 0; j < std::size(cases); ++j)
        patch += "#X obj 10 " + std::to_string(10 + 30 * j) + " rondel~ " + cases[j].first + ";\n";
    const std::string log = run_patch(patch + "#X obj 300 10 loadbang;\n#X msg 300 40 \\; pd quit;\n#X connect " +
                                      std::to_string(std::size(cases)) + " 0 " + std::to_string(std::size(cases) + 1) +
                                      " 0;\n");
    EXPECT_EQ(log.find(kHostFailed), std::string::npos) << log;
    EXPECT_EQ(count_of(log, "couldn't create"), static_cast<int>(std::size(cases))) << log;
    for (const auto& [args, said] : cases)
        EXPECT_GE(count_of(log, said), 1) << "rondel~ " << args << "\n" << log;
}

TEST(Multichannel, OutletsOfAnMObjectInThisHost)
{
    // The plug-in loads with -m objects in the patch in every host: one
    // outlet each where there are multichannel signals, N outlets (and one
    // line for all of them) where there are none. Each object gets a wire
    // from its last outlet and one from the outlet past it: only the second may fail.
    const bool mc = host_version().multichannel();
    const std::pair<std::string, int> cases[] = {{"-m 8", 8}, {"-m 3", 3}, {"-m", 2}, {"-m 16", 16}};
    std::string patch = "#N canvas 0 0 600 600 12;\n", wires;
    int box = 0;
    for (const auto& [args, n] : cases) {
        const int outlets = mc ? 1 : n;
        patch += "#X obj 10 " + std::to_string(10 + 30 * box) + " rondel~ " + args + ";\n";
        patch += "#X obj 300 " + std::to_string(10 + 30 * box) + " *~;\n";
        wires += "#X connect " + std::to_string(box) + " " + std::to_string(outlets - 1) + " " +
                 std::to_string(box + 1) + " 0;\n";
        wires += "#X connect " + std::to_string(box) + " " + std::to_string(outlets) + " " + std::to_string(box + 1) +
                 " 1;\n";
        box += 2;
    }
    const std::string log =
        run_patch(patch + wires + "#X obj 10 500 loadbang;\n#X msg 10 530 \\; pd dsp 1 \\; pd quit;\n#X connect " +
                  std::to_string(box) + " 0 " + std::to_string(box + 1) + " 0;\n");
    SCOPED_TRACE(host_name());
    EXPECT_EQ(log.find(kHostFailed), std::string::npos) << log;
    EXPECT_EQ(count_of(log, "couldn't create"), 0) << log;
    EXPECT_EQ(count_of(log, "connection failed"), static_cast<int>(std::size(cases))) << log;
    box = 0;
    for (const auto& [args, n] : cases) {
        const std::string failed = "main.pd " + std::to_string(box) + " " + std::to_string(mc ? 1 : n) + " " +
                                   std::to_string(box + 1) + " 1 (rondel~->*~) connection failed";
        EXPECT_EQ(count_of(log, failed), 1) << "rondel~ " << args << "\n" << log;
        box += 2;
    }
    EXPECT_EQ(count_of(log, std::string(kBanner) + "\n"), 1) << log;
    EXPECT_EQ(count_of(log, kFallback), mc ? 0 : 1) << log;
    if (!mc) {
        EXPECT_EQ(count_of(log, "rondel~: -m needs Pd 0.54 or newer (multichannel signals): separate outlets instead\n"),
                  1)
            << log;
    }
}

TEST(Multichannel, InputOfSeveralChannelsIsRefusedLikePdsOwnFilters)
{
    SKIP_UNLESS_MULTICHANNEL(true);
    // [rondel~ 4] and [rondel~ -m 4], source at loudspeaker 2, fed one
    // channel, then two, then one again, rewired while DSP is off (so that no
    // half-rewired patch is built). Two channels give one error per object
    // and silent outputs, as [lop~] and [env~] answer such an input; the
    // outputs' buffers held sound just before, so silence must be written.
    const std::string rewire_to_two = "\\; pd dsp 0 \\; pd-main.pd disconnect 2 0 5 0 \\; pd-main.pd disconnect 2 0 6 0 "
                                      "\\; pd-main.pd connect 4 0 5 0 \\; pd-main.pd connect 4 0 6 0 \\; pd dsp 1";
    const std::string rewire_to_one = "\\; pd dsp 0 \\; pd-main.pd disconnect 4 0 5 0 \\; pd-main.pd disconnect 4 0 6 0 "
                                      "\\; pd-main.pd connect 2 0 5 0 \\; pd-main.pd connect 2 0 6 0 \\; pd dsp 1";
    std::string patch = "#N canvas 0 0 800 600 12;\n"
                        "#X obj 10 10 loadbang;\n"           // 0
                        "#X msg 10 40 \\; pd dsp 1;\n"      // 1
                        "#X obj 10 80 sig~ 1;\n"             // 2
                        "#X obj 100 80 sig~ 2;\n"            // 3
                        "#X obj 10 120 snake~ in 2;\n"       // 4
                        "#X obj 10 160 rondel~ 4;\n"         // 5
                        "#X obj 200 160 rondel~ -m 4;\n"     // 6
                        "#X obj 200 200 snake~ out 4;\n"     // 7
                        "#X obj 10 280 pack f f f f f f f f;\n"  // 8
                        "#X obj 10 320 print OUT;\n"         // 9
                        "#X obj 400 10 t b b b b b b b b;\n" // 10
                        "#X msg 400 120 line 0 \\, val 0.25;\n";  // 11
    std::string wires = "#X connect 0 0 1 0;\n#X connect 0 0 11 0;\n#X connect 11 0 5 0;\n#X connect 11 0 6 0;\n"
                        "#X connect 2 0 5 0;\n#X connect 2 0 6 0;\n#X connect 3 0 4 1;\n#X connect 2 0 4 0;\n"
                        "#X connect 6 0 7 0;\n#X connect 8 0 9 0;\n";
    // Signals that are used up before the objects run, so that Pd may hand
    // their buffers (holding 7s) on to the objects' outputs.
    patch += "#X obj 400 300 sig~ 7;\n"          // 12
             "#X obj 400 330 *~ 1;\n"            // 13
             "#X obj 400 360 snapshot~;\n"       // 14
             "#X obj 500 300 snake~ in 4;\n"     // 15
             "#X obj 500 330 *~ 1;\n"            // 16
             "#X obj 500 360 snake~ out 4;\n";   // 17
    wires += "#X connect 12 0 13 0;\n#X connect 13 0 14 0;\n#X connect 12 0 15 0;\n#X connect 12 0 15 1;\n"
             "#X connect 12 0 15 2;\n#X connect 12 0 15 3;\n#X connect 15 0 16 0;\n#X connect 16 0 17 0;\n";
    int box = 18;
    for (int k = 0; k < 8; ++k, ++box) {  // snapshots of the 4 + 4 outputs, the pack's left inlet last
        patch += "#X obj " + std::to_string(10 + 50 * k) + " 240 snapshot~;\n";
        wires += "#X connect " + std::string(k < 4 ? "5 " : "7 ") + std::to_string(k % 4) + " " + std::to_string(box) +
                 " 0;\n#X connect 10 " + std::to_string(k) + " " + std::to_string(box) + " 0;\n" +
                 "#X connect " + std::to_string(box) + " 0 8 " + std::to_string(k) + ";\n";
    }
    // Every 20 ms: look, and the next change.
    const std::string steps[] = {"", rewire_to_two, "", rewire_to_one, "", "\\; pd quit"};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const int ms = 20 + 20 * static_cast<int>(i);
        patch += "#X obj 600 " + std::to_string(10 + 60 * i) + " delay " + std::to_string(ms) + ";\n";
        wires += "#X connect 0 0 " + std::to_string(box) + " 0;\n";
        const std::string target = steps[i].empty() ? "10" : std::to_string(box + 1);
        wires += "#X connect " + std::to_string(box) + " 0 " + target + " 0;\n";
        ++box;
        if (!steps[i].empty()) {
            patch += "#X msg 600 " + std::to_string(40 + 60 * i) + " " + steps[i] + ";\n";
            ++box;
        }
    }
    const std::string log = run_patch(patch + wires);
    SCOPED_TRACE(host_name());
    EXPECT_EQ(log.find(kHostFailed), std::string::npos) << log;
    EXPECT_EQ(count_of(log, "couldn't create"), 0) << log;
    EXPECT_EQ(count_of(log, "connection failed"), 0) << log;
    // The error names the object, so that Pd can find it; one per object.
    EXPECT_EQ(count_of(log, std::string("error: ") + kRefused), 2) << log;
    std::vector<std::string> seen;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("OUT: ", 0) == 0)
            seen.push_back(line.substr(5));
    const std::string sounding = "0 1 0 0 0 1 0 0", silent = "0 0 0 0 0 0 0 0";
    EXPECT_EQ(seen, std::vector<std::string>({sounding, silent, sounding})) << log;
}

TEST(Multichannel, DspRebuildsAndDeletionsWhileRunning)
{
    // A recorded pair, [rondel~ -m 8] and [rondel~ 8], moving all along, while
    // objects with -m are created, wired and deleted in another subpatch (each
    // change rebuilds DSP) and DSP goes off and on: the pair stays equal.
    Scenario s;
    s.objects = {"-m 8", "8"};
    s.source = "noise~";
    s.samples = 8192;
    s.duration = 8192 + 1280;
    s.finite = true;
    s.events = same_moves_for_both();
    const std::string fill = "pd-dyn obj 10 10 noise~; pd-dyn obj 10 40 rondel~ -m 16; pd-dyn obj 10 70 rondel~ -m 3; "
                             "pd-dyn obj 10 100 *~; pd-dyn connect 0 0 1 0; pd-dyn connect 0 0 2 0; "
                             "pd-dyn connect 1 0 3 0; pd-dyn connect 2 0 3 1; pd-dyn obj 10 130 r dyn; "
                             "pd-dyn connect 4 0 1 0; pd-dyn connect 4 0 2 0";
    const std::pair<int, std::string> changes[] = {
        {0, "pd-main.pd obj 600 600 pd dyn"},
        {640, fill},
        {700, "dyn val 0.3"},
        {1300, "pd-dyn clear"},  // deleted mid-ramp of the pair
        {1301, fill},
        {2000, "pd dsp 0"},
        {2100, "pd-dyn clear"},  // deleted while DSP is off
        {2200, fill},
        {2300, "pd dsp 1"},
        {3000, "dyn line 5"},
        {3001, "dyn val 0.9"},
        {3500, "pd-dyn clear"},
        {3600, fill},
        {4000, "pd-dyn clear"},
    };
    for (const auto& [at, text] : changes) {
        // Several messages at one time go out in one box, in order.
        std::size_t from = 0;
        while (from < text.size()) {
            const std::size_t semi = std::min(text.find("; ", from), text.size());
            const std::string one = text.substr(from, semi - from);
            const std::size_t space = one.find(' ');
            s.events.push_back({at, one.substr(0, space), one.substr(space + 1)});
            from = semi + 2;
        }
    }
    const Recording r = run_split(s);
    SCOPED_TRACE(host_name());
    expect_same_outputs(r, 0, 1);
    for (const auto& obj : r.finite)
        for (const auto& out : obj)
            EXPECT_EQ(std::count(out.begin(), out.end(), 0.0f), 0);
}

}  // namespace
