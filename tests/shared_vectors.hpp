// Test vectors every build of the plug-in must reproduce bit for bit: the
// Linux tests and the Windows run under Wine read them from here.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace rondel::test {

/// Targets of N loudspeakers for a position and a distance.
struct WorkedCase {
    int n;
    float pos;
    float dist;
    std::vector<float> expected;
};

// Expected values from the closed forms: sqrt(1 - s) and sqrt(s) on the
// circle, a·sqrt(1 - n·d·dist) inside it (a = dist/2 + 0.5), each the float
// nearest the exact value.
inline const std::vector<WorkedCase> kWorkedTargets = {
    {4, 0.0f, 1.0f, {1, 0, 0, 0}},
    {4, 1.0f, 1.0f, {1, 0, 0, 0}},
    {4, 0.125f, 1.0f, {0.70710677f, 0.70710677f, 0, 0}},
    {4, 0.375f, 1.0f, {0, 0.70710677f, 0.70710677f, 0}},
    {4, 0.875f, 1.0f, {0.70710677f, 0, 0, 0.70710677f}},
    {4, 0.1f, 1.0f, {0.77459663f, 0.63245553f, 0, 0}},
    {4, 0.25f, 1.0f, {0, 1, 0, 0}},
    {4, 1.25f, 1.0f, {0, 1, 0, 0}},
    {4, 1000.25f, 1.0f, {0, 1, 0, 0}},
    {4, 0.0f, 0.5f, {0.75f, 0.53033006f, 0, 0.53033006f}},
    {4, 0.0f, 0.25f, {0.625f, 0.5412659f, 0.44194174f, 0.5412659f}},
    {8, 0.0f, 0.25f, {0.625f, 0.5412659f, 0.44194174f, 0.3125f, 0, 0.3125f, 0.44194174f, 0.5412659f}},
    {8, 0.0625f, 1.0f, {0.70710677f, 0.70710677f, 0, 0, 0, 0, 0, 0}},
    {3, 0.3f, 0.0f, {0.5f, 0.5f, 0.5f}},
    {6, 0.77f, 0.0f, {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}},
    {16, 12.5f, 0.0f, std::vector<float>(16, 0.5f)},
    {2, 0.0f, 1.0f, {1, 0}},
    {2, 0.5f, 1.0f, {0, 1}},
    {2, 0.25f, 1.0f, {0.70710677f, 0.70710677f}},
    {2, 0.75f, 1.0f, {0.70710677f, 0.70710677f}},
    {2, 0.125f, 1.0f, {0.86602539f, 0.5f}},
    {2, 0.0f, 0.5f, {0.86602539f, 0.61237246f}},
    {2, 0.3f, 0.0f, {0.70710677f, 0.70710677f}},
    // Edge residues of a source on a loudspeaker: the neighbours' line value
    // rounds to 2^-24 at position 0 and to 0 at position 1.
    {5, 0.0f, 1.0f, {1, 0x1p-12f, 0, 0, 0x1p-12f}},
    {5, 1.0f, 1.0f, {1, 0, 0, 0, 0}},
};

/// One step of a session with an object: a message, a float to a right inlet, or a block.
struct Step {
    enum Kind { kVal, kDist, kLine, kValInlet, kDistInlet, kLineInlet, kBlock } kind;
    float value;  ///< the message's float, or the block length
};

/// Creation arguments the session runs with, one object each.
inline const std::vector<float> kSessionArguments = {2, 3.7f, 5, 8, 13, 16.5f};

/// The session: moves, ramp times, odd values and blocks of many lengths.
inline std::vector<Step> session()
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    return {
        {Step::kBlock, 64},       {Step::kValInlet, 0.3f},  {Step::kBlock, 100},      {Step::kDist, 0.5f},
        {Step::kBlock, 37},       {Step::kLineInlet, 10},   {Step::kVal, 0.9f},       {Step::kBlock, 512},
        {Step::kVal, -1},         {Step::kLine, 0},         {Step::kDist, nan},       {Step::kBlock, 1},
        {Step::kVal, inf},        {Step::kBlock, 64},       {Step::kLine, 3050},      {Step::kDistInlet, 0.25f},
        {Step::kBlock, 1024},     {Step::kBlock, 1024},     {Step::kLine, -5},        {Step::kVal, 0.7f},
        {Step::kBlock, 3},        {Step::kVal, 1000.25f},   {Step::kBlock, 0},        {Step::kBlock, 2048},
        {Step::kLine, 7.5f},      {Step::kDist, 1},         {Step::kVal, 0.55f},      {Step::kBlock, 200},
        {Step::kDistInlet, 0.1f}, {Step::kBlock, 4096},
    };
}

/// The session's input: the same pseudo-random samples in [-1, 1) on every build.
inline std::vector<float> session_input(int length, std::uint32_t& state)
{
    std::vector<float> in(length);
    for (float& s : in) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        s = static_cast<float>(state >> 8) * 0x1p-23f - 1.0f;
    }
    return in;
}

/// Digest of output samples, bit for bit (FNV-1a over their 32-bit patterns).
struct Digest {
    std::uint64_t value = 14695981039346656037ull;
    void add(float f)
    {
        std::uint32_t bits;
        static_assert(sizeof bits == sizeof f);
        __builtin_memcpy(&bits, &f, sizeof bits);
        for (int i = 0; i < 4; ++i) {
            value ^= (bits >> (8 * i)) & 0xffu;
            value *= 1099511628211ull;
        }
    }
};

/// What every build gives for the session at 44100 Hz, all objects' outputs in order.
inline constexpr std::uint64_t kSessionDigest = 0x5f11a03bfd253c41ull;

}  // namespace rondel::test
