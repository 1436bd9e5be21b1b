#include "pd_runner.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "wav.hpp"

#ifndef RONDEL_PD
#define RONDEL_PD "pd"
#endif
#ifndef RONDEL_PLUGIN_DIR
#define RONDEL_PLUGIN_DIR "."
#endif

namespace rondel::test {

namespace {

// Writes a canvas one box at a time; boxes are numbered in creation order.
class Canvas {
public:
    int add(const std::string& kind, const std::string& text)
    {
        body_ << "#X " << kind << " " << 10 + 5 * (count_ % 40) << " " << 10 + 20 * (count_ % 30)
              << (text.empty() ? "" : " ") << text << ";\n";
        return count_++;
    }
    int obj(const std::string& text) { return add("obj", text); }
    int msg(const std::string& text) { return add("msg", text); }
    void connect(int from, int outlet, int to, int inlet)
    {
        wires_ << "#X connect " << from << " " << outlet << " " << to << " " << inlet << ";\n";
    }
    std::string text() const { return body_.str() + wires_.str(); }

    /// After `samples` from `start` (a loadbang): the arrays written to a
    /// 32-bit float WAV file, then the host told to quit.
    void write_and_quit(int start, int samples, const std::string& wav, const std::vector<std::string>& arrays)
    {
        std::string write = "write -wave -bytes 4 " + wav;
        for (const std::string& a : arrays)
            write += " " + a;
        const int end = obj("delay " + std::to_string(samples) + " 1 samp");
        const int seq = obj("t b b");
        const int wmsg = msg(write);
        const int sf = obj("soundfiler");
        const int quit = msg("\\; pd quit");
        connect(start, 0, end, 0);
        connect(end, 0, seq, 0);
        connect(seq, 1, wmsg, 0);
        connect(wmsg, 0, sf, 0);
        connect(seq, 0, quit, 0);
    }

private:
    std::ostringstream body_, wires_;
    int count_ = 0;
};

std::string escape_semicolons(const std::string& s)
{
    std::string out;
    for (char c : s)
        out += c == ';' ? std::string("\\;") : std::string(1, c);
    return out;
}

// The runs' files live in one folder per test program ($TMPDIR or /tmp,
// rondel-test-XXXXXX), one folder per test inside it. A test that passes
// takes its folder with it; a failing one keeps its patches and recordings
// and says where they are. Nothing is left once every test has passed.
class ScratchFolders : public testing::EmptyTestEventListener {
public:
    std::string next()
    {
        namespace fs = std::filesystem;
        if (root_.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/rondel-test-XXXXXX";
            if (!mkdtemp(tmpl.data()))
                throw std::runtime_error("cannot make a scratch folder from " + tmpl);
            root_ = tmpl;
        }
        const testing::TestInfo* t = testing::UnitTest::GetInstance()->current_test_info();
        const fs::path run = fs::path(root_) / (t ? folder(*t) : "outside-tests") / std::to_string(++runs_);
        std::error_code ec;
        fs::create_directories(run, ec);
        if (ec)
            throw std::runtime_error("cannot make " + run.string() + ": " + ec.message());
        return run.string();
    }

    void OnTestEnd(const testing::TestInfo& t) override
    {
        namespace fs = std::filesystem;
        if (root_.empty())
            return;
        const fs::path test = fs::path(root_) / folder(t);
        std::error_code ec;
        if (!fs::exists(test, ec))
            return;
        if (t.result()->Passed())
            fs::remove_all(test, ec);
        else
            std::printf("[ scratch  ] %s kept in %s\n", t.name(), test.c_str());
    }

    void OnTestProgramEnd(const testing::UnitTest&) override
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        if (root_.empty() || fs::remove(root_, ec))  // only while empty
            return;
        std::printf("[ scratch  ] kept %s\n", root_.c_str());
        std::fflush(stdout);
    }

private:
    static std::string folder(const testing::TestInfo& t)
    {
        return std::string(t.test_suite_name()) + "." + t.name();
    }

    std::string root_;
    int runs_ = 0;
};

// The tests run under gtest's own main(), so the listener joins while the
// program loads; gtest owns it from then on.
ScratchFolders* const scratch = [] {
    auto* s = new ScratchFolders;
    testing::UnitTest::GetInstance()->listeners().Append(s);
    return s;
}();

}  // namespace

std::string scratch_dir()
{
    return scratch->next();
}

namespace {

// Runs a shell command and returns what it printed; a failure is marked in the text.
std::string capture(const std::string& cmd)
{
    std::string log;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t got;
        while ((got = fread(buf, 1, sizeof buf, p)) > 0)
            log.append(buf, got);
        const int status = pclose(p);
        if (status != 0)
            log += "\n" + std::string(kHostFailed) + std::to_string(status) + "]\n";
    }
    return log;
}

}  // namespace

std::string pd_command()
{
    const char* pd = std::getenv("RONDEL_PD");
    if (!pd || !*pd)
        return RONDEL_PD;
    // A relative path still names the same file from the patch's folder.
    char* full = realpath(pd, nullptr);
    const std::string cmd = full ? full : pd;
    std::free(full);
    return cmd;
}

// The plug-in's folder: RONDEL_PLUGIN_DIR from the environment (a build for
// another platform), else this build's.
std::string plugin_dir()
{
    const char* dir = std::getenv("RONDEL_PLUGIN_DIR");
    return dir && *dir ? dir : RONDEL_PLUGIN_DIR;
}

std::string run_patch(const std::string& patch, const std::string& extra, const std::string& environment)
{
    const std::string dir = scratch_dir();
    std::ofstream(dir + "/main.pd") << patch;
    // A wrapper (valgrind, or env with sanitizer runtimes) may come from the environment.
    const char* wrapper = std::getenv("RONDEL_PD_WRAPPER");
    return capture("cd " + dir + " && " + (environment.empty() ? "" : "env " + environment + " ") + "timeout 600 " +
                   (wrapper ? std::string(wrapper) + " " : "") + pd_command() +
                   " -nogui -nosound -batch -noprefs -stderr -path " + plugin_dir() + " " + extra +
                   " -open main.pd 2>&1");
}

PdVersion host_version()
{
    static const PdVersion v = [] {
        PdVersion r;
        const std::string out = capture(pd_command() + " -version 2>&1");
        const std::size_t at = out.find("Pd-");
        if (at != std::string::npos)
            std::sscanf(out.c_str() + at, "Pd-%d.%d", &r.major, &r.minor);
        return r;
    }();
    return v;
}

Recording run_in_pd(const Scenario& s, const std::vector<int>& outlets)
{
    const std::string dir = scratch_dir();
    const std::string wav = dir + "/rec.wav";

    std::vector<std::string> arrays = {"rin"};
    for (std::size_t j = 0; j < s.objects.size(); ++j)
        for (int k = 0; k < outlets[j]; ++k)
            arrays.push_back("r" + std::to_string(j) + "_" + std::to_string(k));
    if (s.finite)
        for (std::size_t j = 0; j < s.objects.size(); ++j)
            for (int k = 0; k < outlets[j]; ++k)
                arrays.push_back("f" + std::to_string(j) + "_" + std::to_string(k));

    // The objects and their recorders live in a subpatch, which may carry its own block size.
    Canvas sub;
    if (!s.block.empty())
        sub.obj("block~ " + s.block);
    int source = sub.obj(s.source);
    if (host_traits().double_samples) {
        // Pd64: the input rounded to 24 significant bits (Veltkamp's split),
        // so that a float holds it, as in every other host.
        const int scaled = sub.obj("*~ 536870913");
        const int diff = sub.obj("-~");
        const int high = sub.obj("-~");
        sub.connect(source, 0, scaled, 0);
        sub.connect(scaled, 0, diff, 0);
        sub.connect(source, 0, diff, 1);
        sub.connect(scaled, 0, high, 0);
        sub.connect(diff, 0, high, 1);
        source = high;
    }
    const int rec = sub.obj("r rec");
    const int rin = sub.obj("tabwrite~ rin");
    sub.connect(source, 0, rin, 0);
    sub.connect(rec, 0, rin, 0);
    for (std::size_t j = 0; j < s.objects.size(); ++j) {
        int obj = sub.obj("rondel~" + (s.objects[j].empty() ? "" : " " + s.objects[j]));
        if (s.own_buffer) {
            const int copy = sub.obj("*~ 1");  // x * 1 is x exactly
            sub.connect(source, 0, copy, 0);
            sub.connect(copy, 0, obj, 0);
        } else {
            sub.connect(source, 0, obj, 0);
        }
        for (int i = 0; i < 4; ++i) {
            const int r = sub.obj("r o" + std::to_string(j) + "in" + std::to_string(i));
            sub.connect(r, 0, obj, i);
        }
        if (s.split_multichannel && s.objects[j].rfind("-m", 0) == 0) {
            const int split = sub.obj("snake~ out " + std::to_string(outlets[j]));
            sub.connect(obj, 0, split, 0);
            obj = split;
        }
        for (int k = 0; k < outlets[j]; ++k) {
            const std::string tag = std::to_string(j) + "_" + std::to_string(k);
            const int w = sub.obj("tabwrite~ r" + tag);
            sub.connect(obj, k, w, 0);
            sub.connect(rec, 0, w, 0);
            if (s.finite) {
                const int test = sub.obj("expr~ ($v1*0) == 0");
                const int fw = sub.obj("tabwrite~ f" + tag);
                sub.connect(obj, k, test, 0);
                sub.connect(test, 0, fw, 0);
                sub.connect(rec, 0, fw, 0);
            }
        }
    }

    Canvas top;
    const int lb = top.obj("loadbang");
    const int start = top.msg(s.record_at ? "\\; pd dsp 1" : "\\; pd dsp 1 \\; rec bang");
    top.connect(lb, 0, start, 0);
    if (s.record_at) {
        const int d = top.obj("delay " + std::to_string(s.record_at) + " 1 samp");
        const int m = top.msg("\\; rec bang");
        top.connect(lb, 0, d, 0);
        top.connect(d, 0, m, 0);
    }
    for (const std::string& a : arrays)
        top.obj("array define " + a + " " + std::to_string(s.samples));
    std::map<int, std::string> at;  // one message box per time keeps the events in order
    for (const Event& e : s.events) {
        if (e.message == "nan") {  // no message box can hold one: make it
            const int d = top.obj("delay " + std::to_string(e.at) + " 1 samp");
            const int x = top.obj("expr sqrt(-1)");
            const int snd = top.obj("s " + e.to);
            top.connect(lb, 0, d, 0);
            top.connect(d, 0, x, 0);
            top.connect(x, 0, snd, 0);
        } else {
            at[e.at] += "; " + e.to + " " + e.message + " ";
        }
    }
    for (const auto& [time, text] : at) {
        const int d = top.obj("delay " + std::to_string(time) + " 1 samp");
        const int m = top.msg(escape_semicolons(text));
        top.connect(lb, 0, d, 0);
        top.connect(d, 0, m, 0);
    }
    top.write_and_quit(lb, s.duration ? s.duration : s.record_at + s.samples, wav, arrays);

    const std::string patch = "#N canvas 0 0 800 600 12;\n" + top.text() +
                              "#N canvas 0 0 600 600 dut 0;\n" + sub.text() + "#X restore 400 10 pd dut;\n";
    Recording r;
    r.log = run_patch(patch, "-r " + std::to_string(s.rate) + " " + s.pd_flags, s.environment);
    auto ch = tools::read_float_wav(wav);
    if (ch.size() != arrays.size())
        return r;
    std::size_t next = 0;
    r.input = ch[next++];
    r.outlets.resize(s.objects.size());
    for (std::size_t j = 0; j < s.objects.size(); ++j)
        for (int k = 0; k < outlets[j]; ++k)
            r.outlets[j].push_back(ch[next++]);
    if (s.finite) {
        r.finite.resize(s.objects.size());
        for (std::size_t j = 0; j < s.objects.size(); ++j)
            for (int k = 0; k < outlets[j]; ++k)
                r.finite[j].push_back(ch[next++]);
    }
    r.ok = true;
    return r;
}

namespace {

// The smallest float a recording keeps where the host clears tiny values
// (PD_BIGORSMALL on x86: a biased exponent below 64).
constexpr float kSmallestKept = 0x1p-63f;

HostTraits probe_host()
{
    // Constant signals: -0 (0 times -1), a tiny value, the two floats on
    // either side of the x86 limit, and 2^24 + 1 - 2^24, which is 1 only
    // where a signal holds more than a float.
    const float probes[] = {1e-30f, kSmallestKept, std::nextafter(kSmallestKept, 0.0f)};
    Canvas c;
    const int lb = c.obj("loadbang");
    const int start = c.msg("\\; pd dsp 1");
    c.connect(lb, 0, start, 0);
    const std::string dir = scratch_dir();
    std::vector<std::string> arrays;
    for (int j = 0; j < 5; ++j) {
        arrays.push_back("p" + std::to_string(j));
        c.obj("array define p" + std::to_string(j) + " 64");
    }
    std::vector<int> sources;
    const int zero = c.obj("sig~ 0");
    sources.push_back(c.obj("*~ -1"));
    c.connect(zero, 0, sources.back(), 0);
    for (float p : probes) {
        char text[64];
        std::snprintf(text, sizeof text, "sig~ %.9g", static_cast<double>(p));
        sources.push_back(c.obj(text));
    }
    const int wide = c.obj("sig~ 16777217");
    sources.push_back(c.obj("-~ 16777216"));
    c.connect(wide, 0, sources.back(), 0);
    for (int j = 0; j < 5; ++j) {
        const int w = c.obj("tabwrite~ " + arrays[j]);
        c.connect(sources[j], 0, w, 0);
        c.connect(lb, 0, w, 0);
    }
    c.write_and_quit(lb, 256, dir + "/probe.wav", arrays);

    HostTraits rule;
    rule.log = run_patch("#N canvas 0 0 800 600 12;\n" + c.text());
    const auto ch = tools::read_float_wav(dir + "/probe.wav");
    if (ch.size() != 5 || ch[0].size() != 64)
        return rule;
    auto kept = [&](int j, float want) {
        return std::bit_cast<std::uint32_t>(ch[j][10]) == std::bit_cast<std::uint32_t>(want);
    };
    auto cleared = [&](int j) { return std::bit_cast<std::uint32_t>(ch[j][10]) == 0u; };
    rule.keeps_negative_zero = kept(0, -0.0f);
    const bool zero_read = rule.keeps_negative_zero || cleared(0);
    if (kept(1, probes[0]) && kept(2, probes[1]) && kept(3, probes[2]))
        rule.keeps_tiny = true;
    else if (cleared(1) && kept(2, probes[1]) && cleared(3))
        rule.keeps_tiny = false;
    else
        return rule;  // neither rule: the tests say so
    rule.double_samples = ch[4][10] == 1.0f;
    rule.known = zero_read && (rule.double_samples || ch[4][10] == 0.0f);
    return rule;
}

}  // namespace

const HostTraits& host_traits()
{
    static const HostTraits traits = probe_host();
    return traits;
}

float HostTraits::recorded(float x) const
{
    if (!keeps_tiny && std::fabs(x) < kSmallestKept)
        return 0.0f;
    if (!keeps_negative_zero && x == 0.0f)
        return 0.0f;
    return x;
}

}  // namespace rondel::test
