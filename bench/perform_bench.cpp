// Cost of one perform block for N outputs, in three states (still, ramping,
// a block with the snap), on every vector path, against yardsticks measured
// in the same run:
//  - the floors: N outputs stored with a constant (store floor) and N outputs
//    = input × a constant gain (multiply floor), with 128-bit vectors and,
//    where the CPU has them, 256-bit ones;
//  - the accumulating ramp the object had before (accumulating_ramp.hpp);
//  - the plain per-sample routine;
// and the widest path with the outputs as consecutive channels of one
// vector, as [rondel~ -m N] gets them from the host.
// Buffers sit in one arena, one after the other with a 16-byte gap, as the
// host's allocator leaves them: no two are a multiple of 4 KiB apart, so
// store-to-load aliasing does not distort the floors.
// Prints the ratios after Google Benchmark's own table.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "accumulating_ramp.hpp"
#include "controls.hpp"
#include "dispatch.hpp"
#include "floors.hpp"
#include "reference_ramp.hpp"

using namespace rondel;

namespace {

// The input and N outputs in one arena, and one object's ramp state.
struct Bench {
    std::vector<float> arena;
    float* in;
    float* out[kMaxOutputs];
    float gain[kMaxOutputs], start[kMaxOutputs], target[kMaxOutputs], inc[kMaxOutputs];
    double step[kMaxOutputs];
    std::int32_t count = 0, length = 0;

    // channels: the outputs one after the other with no gap, in one vector after the input's.
    Bench(int n_out, int len, bool channels = false) : arena(static_cast<std::size_t>(len + 4) * (n_out + 1) + 16)
    {
        const std::size_t misalign = reinterpret_cast<std::uintptr_t>(arena.data()) / sizeof(float) % 16;
        float* p = arena.data() + (16 - misalign) % 16;  // the first buffer on a cache line
        in = p;
        for (int k = 0; k < n_out; ++k)
            out[k] = channels ? p + (len + 4) + static_cast<std::size_t>(len) * k
                              : p + static_cast<std::size_t>(len + 4) * (k + 1);
        for (int i = 0; i < len; ++i)
            in[i] = static_cast<float>((i * 7919) % 2000) / 1000.0f - 1.0f;
        for (int k = 0; k < kMaxOutputs; ++k) {
            gain[k] = start[k] = 0.1f + 0.05f * static_cast<float>(k);
            target[k] = 0.5f;
        }
    }
};

enum class State { kStill, kRamping, kSnap };
const char* const kStateNames[] = {"still", "ramping", "snap"};

// The state a block starts in: far from the snap (still or ramping; the
// ramp starts again before its counter runs out), or the snap halfway.
void prepare(Bench& b, State s, int len)
{
    b.length = kMaxRamp;
    b.count = s == State::kSnap ? len / 2 : s == State::kStill ? -kMaxRamp : kMaxRamp;
    for (int k = 0; k < kMaxOutputs; ++k) {
        b.step[k] = s == State::kStill ? 0.0 : 1e-9 * (k + 1);
        b.inc[k] = static_cast<float>(b.step[k]);
    }
}

using AccumulatingBlock = void (*)(const float* in, float* const* out, int n, accumulating::RampState st);
constexpr auto kAccumulating = per_count<AccumulatingBlock>([](auto c) -> AccumulatingBlock {
    return [](const float* in, float* const* out, int n, accumulating::RampState st) {
        accumulating::ramp_block<decltype(c)::value>(in, out, n, st);
    };
});

// One block per iteration: a path's kernel (routines), the accumulating kernel, or the per-sample routine.
void run_block(benchmark::State& st, const test::BlockRoutines<float>* routines, bool accumulate, int n_out,
               State s, bool channels)
{
    const int len = static_cast<int>(st.range(0));
    Bench b(n_out, len, channels);
    prepare(b, s, len);
    for (auto _ : st) {
        if (s == State::kSnap || b.count < len)  // the snap ends the ramp: start it again
            prepare(b, s, len);
        if (routines)
            (*routines)[n_out](b.in, b.out, len, {b.gain, b.start, b.step, b.target, &b.count, &b.length});
        else if (accumulate)
            kAccumulating[n_out](b.in, b.out, len, {b.gain, b.inc, b.target, &b.count});
        else
            reference::ramp_block(b.in, b.out, n_out, len, b.gain, b.start, b.step, b.target, b.count, b.length);
        benchmark::ClobberMemory();
    }
}

void run_floor(benchmark::State& st, bench::Floor floor, int n_out)
{
    const int len = static_cast<int>(st.range(0));
    Bench b(n_out, len);
    for (auto _ : st) {
        floor(b.in, b.out, n_out, len);
        benchmark::ClobberMemory();
    }
}

// Keeps every run's time per iteration to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ns;
    std::set<std::string> medians;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        // With --benchmark_repetitions the median stands for the benchmark.
        for (const Run& r : runs)
            if (r.error_occurred)
                continue;
            else if (r.run_type == Run::RT_Iteration && !medians.count(r.run_name.str()))
                ns[r.run_name.str()] = r.GetAdjustedCPUTime();
            else if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                ns[r.run_name.str()] = r.GetAdjustedCPUTime(), medians.insert(r.run_name.str());
        ConsoleReporter::ReportRuns(runs);
    }
    double at(const std::string& name) const
    {
        const auto it = ns.find(name);
        return it == ns.end() ? 0.0 : it->second;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const std::vector<test::Path> paths = test::float_paths();
    const std::string widest = simd_name(paths.back().simd);
#if RONDEL_HAVE_SSE2
    using Narrow = lanes::Sse2;
#else
    using Narrow = lanes::Portable<float>;
#endif
    std::vector<std::pair<std::string, bench::Floor>> floors = {
        {"store-128", bench::store_floor<Narrow>}, {"multiply-128", bench::multiply_floor<Narrow>}};
#if defined(__i386__) || defined(__x86_64__)
    if (cpu_has_avx2()) {
        floors.push_back({"store-256", bench::kStoreFloorAvx2});
        floors.push_back({"multiply-256", bench::kMultiplyFloorAvx2});
    }
#endif
    for (int n : {2, 4, 8, 16}) {
        const std::string tail = "/" + std::to_string(n);
        for (const auto& [name, floor] : floors)
            benchmark::RegisterBenchmark(("floor-" + name + tail).c_str(), run_floor, floor, n)->Arg(64)->Arg(1024);
        for (State s : {State::kStill, State::kRamping, State::kSnap}) {
            const std::string what = std::string("/") + kStateNames[static_cast<int>(s)] + tail;
            benchmark::RegisterBenchmark(("accumulating" + what).c_str(), run_block, nullptr, true, n, s, false)
                ->Arg(64)->Arg(1024);
            for (const test::Path& p : paths)
                if (p.simd != Simd::portable)
                    benchmark::RegisterBenchmark((simd_name(p.simd) + what).c_str(), run_block, p.routines, false, n, s,
                                                 false)
                        ->Arg(64)->Arg(1024);
            benchmark::RegisterBenchmark((widest + "-m" + what).c_str(), run_block, paths.back().routines, false, n, s,
                                         true)
                ->Arg(64)->Arg(1024);
            benchmark::RegisterBenchmark(("per-sample" + what).c_str(), run_block, nullptr, false, n, s, false)
                ->Arg(64)->Arg(1024);
        }
    }
    RatioReporter rep;
    benchmark::RunSpecifiedBenchmarks(&rep);

    auto ratio = [](double a, double b) { return a > 0 && b > 0 ? a / b : 0.0; };
    std::printf("\nratios, this run (the dispatched path here is %s):\n", widest.c_str());
    std::printf("  new/old: time of the path's block / the accumulating block (below 1: faster)\n");
    std::printf("  /floor:  time of the dispatched block / the multiply floor with 128-bit vectors\n");
    std::printf("%4s %6s | %9s %9s | %9s %9s | %9s %9s | %7s %7s %7s | %7s %7s\n", "N", "block", "still", "still",
                "ramping", "ramping", "snap", "snap", "still", "ramping", "snap", "store", "store");
    std::printf("%4s %6s | %9s %9s | %9s %9s | %9s %9s | %7s %7s %7s | %7s %7s\n", "", "", "sse2/old",
                (widest + "/old").c_str(), "sse2/old", (widest + "/old").c_str(), "sse2/old", (widest + "/old").c_str(),
                "/floor", "/floor", "/floor", "128", "256");
    for (int n : {2, 4, 8, 16})
        for (int len : {64, 1024}) {
            const std::string tail = "/" + std::to_string(n) + "/" + std::to_string(len);
            auto t = [&](const std::string& what) { return rep.at(what + tail); };
            const double floor = t("floor-multiply-128");
            std::printf("%4d %6d |", n, len);
            for (const char* s : kStateNames)
                std::printf(" %9.2f %9.2f |", ratio(t(std::string("sse2/") + s), t(std::string("accumulating/") + s)),
                            ratio(t(widest + "/" + s), t(std::string("accumulating/") + s)));
            for (const char* s : kStateNames)
                std::printf(" %7.2f", ratio(t(widest + "/" + s), floor));
            std::printf(" | %7.2f %7.2f\n", ratio(t("floor-store-128"), floor), ratio(t("floor-store-256"), floor));
        }
    std::printf("\n-m: the %s block with the outputs as channels of one vector / in vectors of their own\n",
                widest.c_str());
    std::printf("%4s %6s | %7s %7s %7s\n", "N", "block", "still", "ramping", "snap");
    for (int n : {2, 4, 8, 16})
        for (int len : {64, 1024}) {
            const std::string tail = "/" + std::to_string(n) + "/" + std::to_string(len);
            std::printf("%4d %6d |", n, len);
            for (const char* s : kStateNames)
                std::printf(" %7.2f", ratio(rep.at(widest + "-m/" + s + tail), rep.at(widest + "/" + s + tail)));
            std::printf("\n");
        }
    benchmark::Shutdown();
    return 0;
}
