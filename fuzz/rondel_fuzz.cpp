// Drives one object through any sequence of creation argument, messages and
// blocks decoded from the fuzzer's bytes, and checks after every step:
//  - with finite input, every output sample and every stored gain is finite;
//  - entries N … 15 of gains, starts, targets and steps stay 0;
//  - a ramp of length R lands exactly on its targets after R + 1 samples;
//  - the fast kernel, on a vector path the input picks, agrees bit for bit
//    with the plain per-sample routine: outputs, gains, starts, steps and
//    counter, with the input in its own buffer or in one of the outputs'.
//
// Built for speed as well as for checking: the buffers are allocated once,
// and the oracle and the checks (functions named check_* and the per-sample
// routine) are left out of the coverage instrumentation (see
// coverage-ignore.txt), so that the fuzzer's time goes to new inputs.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "controls.hpp"
#include "dispatch.hpp"
#include "object_model.hpp"

using namespace rondel;

namespace {

constexpr int kMaxBlock = 4096;

struct Bytes {
    const std::uint8_t* p;
    std::size_t n;
    bool empty() const { return n == 0; }
    std::uint8_t u8() { return n ? (--n, *p++) : 0; }
    std::uint32_t u32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(u8()) << (8 * i);
        return v;
    }
    float f32() { return std::bit_cast<float>(u32()); }
};

[[noreturn]] void fail(const char* what, int k, long i)
{
    std::fprintf(stderr, "rondel_fuzz: %s (entry/output %d, sample %ld)\n", what, k, i);
    std::abort();
}

// Buffers for one block, made once: the input, the fast kernel's outputs
// (one guard sample past each) and the per-sample routine's outputs.
struct Buffers {
    float input[kMaxBlock];
    float fast[kMaxOutputs][kMaxBlock + 1];
    float plain[kMaxOutputs][kMaxBlock];
};

[[gnu::noinline]] void fill_input(float* in, int len, std::uint32_t seed)
{
    std::uint32_t r = seed | 1;
    for (int i = 0; i < len; ++i) {
        r ^= r << 13, r ^= r >> 17, r ^= r << 5;
        const float v = std::bit_cast<float>(r);
        in[i] = std::isfinite(v) && std::fabs(v) < 1e30f ? v : static_cast<float>(r % 2001) / 1000.0f - 1.0f;
    }
}

[[gnu::noinline]] void check_state(const test::ObjectModel& x, const test::ObjectModel& y, int len)
{
    if (x.count != y.count || x.length != y.length)
        fail("counter differs from the per-sample routine", 0, len);
    if (std::memcmp(x.gain, y.gain, sizeof x.gain) || std::memcmp(x.start, y.start, sizeof x.start) ||
        std::memcmp(x.step, y.step, sizeof x.step))
        fail("state differs from the per-sample routine", 0, len);
    for (int k = 0; k < kMaxOutputs; ++k) {
        if (!std::isfinite(x.gain[k]) || !std::isfinite(x.step[k]))
            fail("gain or step not finite", k, len);
        if (k >= x.n_out && (x.gain[k] != 0 || x.start[k] != 0 || x.target[k] != 0 || x.step[k] != 0))
            fail("entry past N is not 0", k, len);
    }
}

[[gnu::noinline]] void check_outputs(const Buffers& b, int n_out, int len)
{
    for (int k = 0; k < n_out; ++k) {
        if (std::memcmp(b.fast[k], b.plain[k], sizeof(float) * len) != 0)
            for (int i = 0; i < len; ++i)
                if (std::bit_cast<std::uint32_t>(b.fast[k][i]) != std::bit_cast<std::uint32_t>(b.plain[k][i]))
                    fail("output differs from the per-sample routine", k, i);
        bool finite = true;
        for (int i = 0; i < len; ++i)
            finite &= std::isfinite(b.fast[k][i]);
        if (!finite)
            fail("output not finite", k, len);
        if (std::bit_cast<std::uint32_t>(b.fast[k][len]) != 0x7fc0dead)
            fail("written past the block", k, len);
    }
}

[[gnu::noinline]] void check_landed(const test::ObjectModel& x, long since)
{
    for (int k = 0; k < x.n_out; ++k)
        if (std::bit_cast<std::uint32_t>(x.gain[k]) != std::bit_cast<std::uint32_t>(x.target[k]))
            fail("ramp did not land on its target after R + 1 samples", k, since);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<test::Path> paths = test::float_paths();
    static Buffers* b = new Buffers;
    Bytes in{data, size};
    const float rate = 8000.0f + static_cast<float>(in.u8() % 8) * 11025.0f;
    test::ObjectModel x(in.f32(), rate);

    // Samples since the last restart and its length: the creation counts as one.
    long since = 0;
    long ramp_len = x.count;

    for (int steps = 0; !in.empty() && steps < 64; ++steps) {
        const std::uint8_t op = in.u8();
        switch (op % 4) {
        case 0:
        case 1: {
            const float f = in.f32();
            if (op % 4 == 0)
                x.val(f);
            else
                x.distance(f);
            since = 0;
            ramp_len = x.ramp;
            break;
        }
        case 2:
            if (op & 4) {
                // Time passes without a block being looked at: the counter
                // moves on as if that many samples had run, so that the
                // late samples of long ramps (j up to 2^31) are reached too.
                const std::uint32_t skip = in.u32();
                const std::uint32_t ahead = x.count >= 0 && skip > static_cast<std::uint32_t>(x.count)
                                                ? static_cast<std::uint32_t>(x.count) : skip;  // not past the snap
                x.count = static_cast<std::int32_t>(static_cast<std::uint32_t>(x.count) - ahead);
                since += ahead;
            } else {
                x.line(in.f32());
                if (x.ramp < 0 || x.ramp > kMaxRamp)
                    fail("ramp length out of range", 0, x.ramp);
            }
            break;
        default: {
            // 0 … 4096 samples, shorter ones as likely as longer ones on a
            // log scale: hosts mostly run blocks of 64, and every length
            // from 1 up still comes along.
            const int len = static_cast<int>((in.u8() | in.u8() << 8) % (kMaxBlock + 1)) >> (op >> 2 & 7);
            const int alias = static_cast<int>(in.u8() % (x.n_out + 1)) - 1;  // -1: own buffer
            const std::uint32_t seed = in.u32();
            const test::Path& path = paths[seed % paths.size()];
            fill_input(b->input, len, seed);

            // The per-sample routine on a copy, the fast kernel on the object's state.
            test::ObjectModel y = x;
            float* plain[kMaxOutputs];
            float* fast[kMaxOutputs];
            for (int k = 0; k < x.n_out; ++k) {
                plain[k] = b->plain[k];
                fast[k] = b->fast[k];
                b->fast[k][len] = std::bit_cast<float>(0x7fc0dead);
            }
            reference::ramp_block(b->input, plain, y.n_out, len, y.gain, y.start, y.step, y.target, y.count, y.length);
            const float* fin = b->input;
            if (alias >= 0) {
                std::memcpy(fast[alias], b->input, sizeof(float) * len);
                fin = fast[alias];
            }
            (*path.routines)[x.n_out](fin, fast, len, x.state());

            check_state(x, y, len);
            check_outputs(*b, x.n_out, len);
            since += len;
            if (since > ramp_len)
                check_landed(x, since);
        }
        }
    }
    return 0;
}
