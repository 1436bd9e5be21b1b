// Cost of one perform block for N outputs, in three states (still, ramping,
// a block with the snap), against two baselines measured in the same run:
// the floor (N outputs = input × a constant gain) and the plain per-sample
// routine; and the same blocks with the outputs as consecutive channels of
// one vector, as [rondel~ -m N] gets them. Prints the ratios after Google
// Benchmark's own table.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "gain_ramp.hpp"
#include "reference_ramp.hpp"

using namespace rondel;

namespace {

struct Buffers {
    std::vector<float> in;
    std::vector<std::vector<float>> out;
    std::vector<float> channels;  // the outputs one after the other, for one N-channel signal
    float* ptr[kMaxOutputs];
    float gain[kMaxOutputs], inc[kMaxOutputs], target[kMaxOutputs];
    std::int32_t count = 0;

    Buffers(int n_out, int len, bool ramping, bool one_vector = false)
        : in(len), out(one_vector ? 0 : n_out, std::vector<float>(len)), channels(one_vector ? n_out * len : 0)
    {
        for (int i = 0; i < len; ++i)
            in[i] = static_cast<float>((i * 7919) % 2000) / 1000.0f - 1.0f;
        for (int k = 0; k < kMaxOutputs; ++k) {
            gain[k] = 0.1f + 0.05f * static_cast<float>(k);
            target[k] = 0.5f;
            inc[k] = ramping ? 1e-9f * static_cast<float>(k + 1) : 0.0f;
        }
        for (int k = 0; k < n_out; ++k)
            ptr[k] = one_vector ? channels.data() + k * len : out[k].data();
    }
};

enum class State { kStill, kRamping, kSnap };

// Counter for each iteration's block: far from the snap, or the snap halfway.
std::int32_t start_count(State s, int len) { return s == State::kSnap ? len / 2 : s == State::kStill ? -1000 : 1 << 30; }

template <int N>
void floor_block(const float* __restrict in, float* const* out, int n, const float* gain)
{
    for (int k = 0; k < N; ++k) {
        float* __restrict o = out[k];
        const float g = gain[k];
        for (int i = 0; i < n; ++i)
            o[i] = in[i] * g;
    }
}

template <int N>
void BM_Floor(benchmark::State& st)
{
    const int len = static_cast<int>(st.range(0));
    Buffers b(N, len, false);
    for (auto _ : st) {
        floor_block<N>(b.in.data(), b.ptr, len, b.gain);
        benchmark::ClobberMemory();
    }
}

// One block per iteration with the fast kernel or the plain per-sample
// routine, the outputs in vectors of their own or as channels of one.
template <int N, State S, bool Fast, bool OneVector = false>
void BM_Block(benchmark::State& st)
{
    const int len = static_cast<int>(st.range(0));
    Buffers b(N, len, S != State::kStill, OneVector);
    for (auto _ : st) {
        b.count = start_count(S, len);
        if (S == State::kSnap)
            for (int k = 0; k < N; ++k)
                b.inc[k] = 1e-9f;
        if (Fast)
            ramp_block<N>(b.in.data(), b.ptr, len, {b.gain, b.inc, b.target, &b.count});
        else
            reference::ramp_block(b.in.data(), b.ptr, N, len, b.gain, b.inc, b.target, b.count);
        benchmark::ClobberMemory();
    }
}

#define RONDEL_BENCH_N(N)                                                                   \
    BENCHMARK(BM_Floor<N>)->Name("floor/" #N)->Arg(64)->Arg(1024);                          \
    BENCHMARK(BM_Block<N, State::kStill, true>)->Name("still/" #N)->Arg(64)->Arg(1024);        \
    BENCHMARK(BM_Block<N, State::kRamping, true>)->Name("ramping/" #N)->Arg(64)->Arg(1024);    \
    BENCHMARK(BM_Block<N, State::kSnap, true>)->Name("snap/" #N)->Arg(64)->Arg(1024);          \
    BENCHMARK(BM_Block<N, State::kStill, false>)->Name("ref-still/" #N)->Arg(64)->Arg(1024);   \
    BENCHMARK(BM_Block<N, State::kRamping, false>)->Name("ref-ramping/" #N)->Arg(64)->Arg(1024); \
    BENCHMARK(BM_Block<N, State::kSnap, false>)->Name("ref-snap/" #N)->Arg(64)->Arg(1024);       \
    BENCHMARK(BM_Block<N, State::kStill, true, true>)->Name("mc-still/" #N)->Arg(64)->Arg(1024);   \
    BENCHMARK(BM_Block<N, State::kRamping, true, true>)->Name("mc-ramping/" #N)->Arg(64)->Arg(1024); \
    BENCHMARK(BM_Block<N, State::kSnap, true, true>)->Name("mc-snap/" #N)->Arg(64)->Arg(1024)

RONDEL_BENCH_N(2);
RONDEL_BENCH_N(4);
RONDEL_BENCH_N(8);
RONDEL_BENCH_N(16);

// Keeps every run's time per iteration to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ns;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                ns[r.benchmark_name()] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter rep;
    benchmark::RunSpecifiedBenchmarks(&rep);

    // Each row: N, block, then for still, ramping and snap the ratio of the
    // two runs that `names` gives for the state.
    auto table = [&](const char* title, auto names) {
        std::printf("\nratios (this run): %s\n%4s %6s | %7s %7s %7s\n", title, "N", "block", "still", "ramping", "snap");
        for (int n : {2, 4, 8, 16})
            for (int len : {64, 1024}) {
                const std::string tail = "/" + std::to_string(n) + "/" + std::to_string(len);
                auto t = [&](const std::string& what) {
                    auto it = rep.ns.find(what + tail);
                    return it == rep.ns.end() ? 0.0 : it->second;
                };
                double r[3];
                bool all = true;
                int i = 0;
                for (const char* state : {"still", "ramping", "snap"}) {
                    const auto [a, b] = names(std::string(state));
                    all = all && t(a) > 0 && t(b) > 0;
                    r[i++] = t(b) > 0 ? t(a) / t(b) : 0.0;
                }
                if (all)
                    std::printf("%4d %6d | %7.2f %7.2f %7.2f\n", n, len, r[0], r[1], r[2]);
            }
    };
    using Names = std::pair<std::string, std::string>;
    table("fast routine / floor", [](const std::string& s) { return Names{s, "floor"}; });
    table("fast / plain per-sample routine", [](const std::string& s) { return Names{s, "ref-" + s}; });
    table("outputs as channels of one vector (-m) / outputs in vectors of their own",
          [](const std::string& s) { return Names{"mc-" + s, s}; });
    benchmark::Shutdown();
    return 0;
}
