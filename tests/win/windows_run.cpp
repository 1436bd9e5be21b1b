// The Windows plug-in, loaded with LoadLibrary into a program whose pd.dll is
// the stand-in host, driven like Pd drives it, and compared with the vectors
// the Linux tests use. Run under Wine: wine64 windows_run.exe
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "controls.hpp"
#include "shared_vectors.hpp"
#include "standin.h"

using namespace rondel::test;

namespace {

int passed = 0, failed = 0;

const char* const kBanner = "rondel~ ZEBRIM Corvalle Veltria - Ilan Vesquet";

void check(bool ok, const std::string& what)
{
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAILED: %s\n", what.c_str());
    }
}

std::uint32_t bits(float f)
{
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

t_atom float_atom(float f)
{
    t_atom a;
    a.a_type = A_FLOAT;
    a.a_w.w_float = f;
    return a;
}

t_atom symbol_atom(const char* s)
{
    t_atom a;
    a.a_type = A_SYMBOL;
    a.a_w.w_symbol = gensym(s);
    return a;
}

// One object with its signals, as the host would wire it.
struct Box {
    void* obj;
    int n;       // outputs
    bool multi;  // made with -m in a host with multichannel signals: one outlet of n channels
    int block = -1, channels = 0;
    t_sample* in_vec = nullptr;
    std::vector<t_signal*> own;  // input, then one signal per outlet
    std::vector<t_signal*> sp;

    Box(t_class* c, float arg, bool flag = false)
        : obj(create(c, arg, flag)), n(rondel::output_count(arg)), multi(flag && standin_multichannel())
    {
    }

    static void* create(t_class* c, float arg, bool flag)
    {
        t_atom a[] = {symbol_atom("-m"), float_atom(arg)};
        return flag ? standin_create(c, 2, a) : standin_create(c, 1, a + 1);
    }

    // Runs one block of `in` on every input channel, the input in its own
    // buffer or in output `alias`'s (counted from 0; the host with
    // multichannel signals hands the input's vector on to that output).
    std::vector<std::vector<float>> run(const std::vector<float>& in, int alias = -1, int in_channels = 1)
    {
        const int len = static_cast<int>(in.size());
        const int outlets = multi ? 1 : n;
        if (len != block || in_channels != channels) {  // the host rebuilds the chain when the block size changes
            block = len;
            channels = in_channels;
            own.assign(1 + outlets, nullptr);
            own[0] = standin_signal(len, channels);
            in_vec = own[0]->s_vec;
            for (int k = 0; k < outlets; ++k)
                own[1 + k] = standin_signal(len, 1);
        }
        sp = own;
        own[0]->s_vec = in_vec;
        if (alias >= 0 && !multi) {
            own[0]->s_vec = own[1 + alias]->s_vec;
            if (standin_multichannel())
                standin_reuse(alias, own[0]->s_vec);
        }
        for (int ch = 0; ch < channels; ++ch)
            std::copy(in.begin(), in.end(), own[0]->s_vec + ch * len);  // exact for doubles (Pd64) too
        check(standin_dsp(obj, sp.data()), "the dsp method adds a routine");
        standin_run();
        std::vector<std::vector<float>> out(n);  // Pd64's samples rounded to float
        for (int k = 0; k < n; ++k) {
            const t_sample* v = multi ? sp[1]->s_vec + k * len : sp[1 + k]->s_vec;
            out[k].assign(v, v + len);
        }
        return out;
    }
};

}  // namespace

int main()
{
    standin_set_samplerate(44100);
    HMODULE dll = LoadLibraryA("rondel~.dll");
    check(dll != nullptr, "LoadLibrary rondel~.dll");
    if (!dll) {
        std::printf("0 passed, 1 failed\n");
        return 1;
    }
    auto setup = reinterpret_cast<void (*)()>(GetProcAddress(dll, "rondel_tilde_setup"));
    check(setup != nullptr, "rondel_tilde_setup is exported");
    if (!setup)
        return 1;
    setup();
    check(std::string(standin_posts()) == std::string(kBanner) + "\n", "banner posted once");
    t_class* c = standin_find_class("rondel~");
    check(c != nullptr, "class rondel~ registered");
    if (!c)
        return 1;
    int onset;
    const char* help;
    size_t size;
    standin_class_info(c, &onset, &help, &size);
    check(onset > 0 && static_cast<size_t>(onset) < size, "main signal inlet registered inside the record");
    check(help && std::string(help) == "rondel~", "help symbol rondel~");
    const bool mc = standin_multichannel();
    std::printf("stand-in host %s multichannel signals\n", mc ? "with" : "without");
    check(((standin_class_flags(c) & 0x10) != 0) == mc, "the class is multichannel where the host has it");

    // Outlets and inlets for creation arguments.
    const std::pair<float, int> counts[] = {{0, 2}, {1, 2}, {-3, 2}, {2.5f, 2}, {15.9f, 15}, {16.5f, 16}, {17, 16},
                                            {std::nanf(""), 2}};
    for (auto [arg, n] : counts)
        for (bool flag : {false, true}) {
            Box b(c, arg, flag);
            const std::string what = std::string(flag ? "-m " : "") + std::to_string(arg);
            check(b.obj && b.n == n && standin_signal_outlets(b.obj) == (b.multi ? 1 : n), "outlets for " + what);
            check(standin_extra_inlets(b.obj) == 3, "three float inlets for " + what);
        }
    const std::string fallback = "rondel~: -m needs Pd 0.54 or newer (multichannel signals): separate outlets instead\n";
    check(std::string(standin_posts()).find(fallback) == (mc ? std::string::npos : std::strlen(kBanner) + 1) &&
              std::string(standin_posts()).rfind(fallback) == std::string(standin_posts()).find(fallback),
          mc ? "no word about -m" : "-m without multichannel signals said once, after the banner");
    {
        t_atom a[] = {symbol_atom("-x"), float_atom(4)};
        check(!standin_create(c, 2, a) && std::string(standin_posts()).find("error: rondel~: unknown flag -x") !=
                                               std::string::npos,
              "an unknown flag is refused");
    }

    // Worked targets, read off the outputs of a constant 1 after an immediate move.
    for (const WorkedCase& w : kWorkedTargets) {
        Box b(c, static_cast<float>(w.n));
        standin_message(b.obj, "line", true, 0);
        standin_message(b.obj, "dist", true, w.dist);
        standin_message(b.obj, "val", true, w.pos);
        const auto out = b.run(std::vector<float>(8, 1.0f));
        bool same = b.n == w.n;
        for (int k = 0; same && k < w.n; ++k)
            same = bits(out[k][0]) == bits(w.expected[k]) && bits(out[k][7]) == bits(w.expected[k]);
        check(same, "worked targets N = " + std::to_string(w.n) + ", position " + std::to_string(w.pos) +
                        ", dist " + std::to_string(w.dist));
    }

    // The ramp rule: R = 3 gives four steps, the last one the snap.
    {
        Box b(c, 2);
        standin_message(b.obj, "line", true, 0);
        standin_message(b.obj, "val", true, 0.5f);  // output 2 only
        b.run(std::vector<float>(4, 1.0f));
        standin_message(b.obj, "line", true, 3.0f * 1000 / 44100 + 1e-6f);
        standin_message(b.obj, "val", true, 0);
        const auto out = b.run(std::vector<float>(6, 1.0f));
        check(out[0] == std::vector<float>({0.25f, 0.5f, 0.75f, 1, 1, 1}), "R = 3: 0.25, 0.5, 0.75, 1, then 1");
    }

    // The shared session, every output sample digested, once with the input
    // in its own buffer and once sharing an output's buffer, for [rondel~ N]
    // and for [rondel~ -m N].
    for (bool flag : {false, true})
        for (int shared = 0; shared < 2; ++shared) {
            Digest digest;
            std::uint32_t noise = 0x2545f491u;
            for (float arg : kSessionArguments) {
                Box b(c, arg, flag);
                int turn = 0;
                for (const Step& s : session()) {
                    switch (s.kind) {
                    case Step::kVal: standin_message(b.obj, "val", true, s.value); break;
                    case Step::kDist: standin_message(b.obj, "dist", true, s.value); break;
                    case Step::kLine: standin_message(b.obj, "line", true, s.value); break;
                    case Step::kValInlet: standin_inlet_float(b.obj, 1, s.value); break;
                    case Step::kDistInlet: standin_inlet_float(b.obj, 2, s.value); break;
                    case Step::kLineInlet: standin_inlet_float(b.obj, 3, s.value); break;
                    case Step::kBlock: {
                        const int alias = shared ? turn++ % b.n : -1;
                        for (const auto& out : b.run(session_input(static_cast<int>(s.value), noise), alias))
                            for (float x : out)
                                digest.add(x);
                        break;
                    }
                    }
                }
            }
            char hex[32];
            std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(digest.value));
            std::printf("session digest: 0x%s%s%s\n", hex, flag ? " with -m" : "",
                        shared ? " (input sharing an output's buffer)" : "");
            check(digest.value == kSessionDigest, std::string("session digest ") + hex + (flag ? " with -m" : "") +
                                                      (shared ? " (input sharing an output's buffer)" : ""));
        }

    // Two channels in: refused with one error, outputs silent although the
    // host handed them vectors that held something else.
    if (mc)
        for (bool flag : {false, true}) {
            Box b(c, 4, flag);
            const std::size_t before = std::string(standin_posts()).size();
            bool silent = true;
            for (const auto& out : b.run(std::vector<float>(64, 1.0f), -1, 2))
                for (float x : out)
                    silent = silent && bits(x) == 0;
            const std::string said = std::string(standin_posts()).substr(before);
            check(silent && said == "error: rondel~: can't take multichannel inputs (2 channels): outputs silent\n",
                  std::string("two input channels refused") + (flag ? " with -m" : ""));
        }

    std::printf("windows run: %d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
