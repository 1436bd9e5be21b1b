// Drives one object through any sequence of creation argument, messages and
// blocks decoded from the fuzzer's bytes, and checks after every step:
//  - with finite input, every output sample and every stored gain is finite;
//  - entries N … 15 of gains, targets and increments stay 0;
//  - a ramp of length R lands exactly on its targets after R + 1 samples;
//  - the fast kernel agrees bit for bit with the plain per-sample routine,
//    with the input in its own buffer or in one of the outputs'.
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

bool same(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
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
            x.line(in.f32());
            if (x.ramp < 0 || x.ramp > kMaxRamp)
                fail("ramp length out of range", 0, x.ramp);
            break;
        default: {
            const int len = static_cast<int>((in.u8() | in.u8() << 8) % 4097);
            const int alias = static_cast<int>(in.u8() % (x.n_out + 1)) - 1;  // -1: own buffer
            const std::uint32_t seed = in.u32();
            std::vector<float> input(len);
            std::uint32_t r = seed | 1;
            for (float& s : input) {
                r ^= r << 13, r ^= r >> 17, r ^= r << 5;
                const float v = std::bit_cast<float>(r);
                s = std::isfinite(v) && std::fabs(v) < 1e30f ? v : static_cast<float>(r % 2001) / 1000.0f - 1.0f;
            }
            // Fast kernel on the object's state, the per-sample routine on a copy.
            test::ObjectModel y = x;
            const auto plain = y.process(input);
            std::vector<std::vector<float>> fast(x.n_out, std::vector<float>(len));
            float* fo[kMaxOutputs];
            for (int k = 0; k < x.n_out; ++k)
                fo[k] = fast[k].data();
            const float* fin = input.data();
            if (alias >= 0) {
                std::copy(input.begin(), input.end(), fast[alias].begin());
                fin = fo[alias];
            }
            test::kBlockRoutines[x.n_out](fin, fo, len, {x.gain, x.inc, x.target, &x.count});

            if (x.count != y.count)
                fail("counter differs from the per-sample routine", 0, len);
            for (int k = 0; k < kMaxOutputs; ++k) {
                if (!same(x.gain[k], y.gain[k]) || !same(x.inc[k], y.inc[k]))
                    fail("state differs from the per-sample routine", k, len);
                if (!std::isfinite(x.gain[k]) || !std::isfinite(x.inc[k]))
                    fail("gain or increment not finite", k, len);
                if (k >= x.n_out && (x.gain[k] != 0 || x.target[k] != 0 || x.inc[k] != 0))
                    fail("entry past N is not 0", k, len);
            }
            for (int k = 0; k < x.n_out; ++k)
                for (int i = 0; i < len; ++i) {
                    if (!same(fast[k][i], plain[k][i]))
                        fail("output differs from the per-sample routine", k, i);
                    if (!std::isfinite(fast[k][i]))
                        fail("output not finite", k, i);
                }
            since += len;
            if (since > ramp_len)
                for (int k = 0; k < x.n_out; ++k)
                    if (!same(x.gain[k], x.target[k]))
                        fail("ramp did not land on its target after R + 1 samples", k, since);
        }
        }
    }
    return 0;
}
