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

#include "shared_vectors.hpp"
#include "standin.h"

using namespace rondel::test;

namespace {

int passed = 0, failed = 0;

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

// One object with its signals, as the host would wire it.
struct Box {
    void* obj;
    int n;
    int block = -1;
    std::vector<std::vector<t_sample>> vecs;  // input, then outputs
    std::vector<t_signal> sigs;
    std::vector<t_signal*> sp;

    Box(t_class* c, float arg) : obj(standin_new(c, arg)), n(standin_signal_outlets(obj)) {}

    // Runs one block of `in`, the input in its own buffer or in output `alias` (counted from 0).
    std::vector<std::vector<float>> run(const std::vector<float>& in, int alias = -1)
    {
        const int len = static_cast<int>(in.size());
        if (len != block) {  // the host rebuilds the chain when the block size changes
            block = len;
            vecs.assign(n + 1, std::vector<t_sample>(len + 1));
            sigs.assign(n + 1, t_signal{});
            sp.assign(n + 1, nullptr);
            for (int k = 0; k <= n; ++k) {
                sigs[k].s_n = len;
                sigs[k].s_vec = vecs[k].data();
                sigs[k].s_sr = 44100;
                sp[k] = &sigs[k];
            }
        }
        if (alias >= 0)
            sigs[0].s_vec = vecs[1 + alias].data();
        else
            sigs[0].s_vec = vecs[0].data();
        std::copy(in.begin(), in.end(), sigs[0].s_vec);  // exact for doubles (Pd64) too
        check(standin_dsp(obj, sp.data()), "the dsp method adds a routine");
        standin_run();
        std::vector<std::vector<float>> out(n);  // Pd64's samples rounded to float
        for (int k = 0; k < n; ++k)
            out[k].assign(vecs[1 + k].begin(), vecs[1 + k].begin() + len);
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
    check(std::string(standin_posts()) == "rondel~ ZEBRIM Corvalle Veltria - Ilan Vesquet\n", "banner posted once");
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

    // Outlets and inlets for creation arguments.
    const std::pair<float, int> counts[] = {{0, 2}, {1, 2}, {-3, 2}, {2.5f, 2}, {15.9f, 15}, {16.5f, 16}, {17, 16},
                                            {std::nanf(""), 2}};
    for (auto [arg, n] : counts) {
        Box b(c, arg);
        check(b.n == n, "outlets for argument " + std::to_string(arg));
        check(standin_extra_inlets(b.obj) == 3, "three float inlets");
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
    // in its own buffer and once sharing an output's buffer.
    for (int shared = 0; shared < 2; ++shared) {
        Digest digest;
        std::uint32_t noise = 0x2545f491u;
        for (float arg : kSessionArguments) {
            Box b(c, arg);
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
        std::printf("session digest: 0x%s%s\n", hex, shared ? " (input sharing an output's buffer)" : "");
        check(digest.value == kSessionDigest,
              std::string("session digest ") + hex + (shared ? " (input sharing an output's buffer)" : ""));
    }

    std::printf("windows run: %d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
