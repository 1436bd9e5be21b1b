// Tables indexed by the number of outputs, one entry per N from 2 to 16, so
// that code written once as a template over N is chosen by one lookup.
#pragma once

#include <array>
#include <type_traits>
#include <utility>

#include "gain_law.hpp"

namespace rondel {

/// Table of `make(std::integral_constant<int, N>)` for N = 2 … 16; entries 0 and 1 are empty.
template <typename Entry, typename Make>
constexpr std::array<Entry, kMaxOutputs + 1> per_count(Make make)
{
    return [&]<int... I>(std::integer_sequence<int, I...>) {
        return std::array<Entry, kMaxOutputs + 1>{Entry{}, Entry{}, make(std::integral_constant<int, I + 2>{})...};
    }(std::make_integer_sequence<int, kMaxOutputs - 1>{});
}

/// Target routine for N loudspeakers.
using TargetRoutine = void (*)(float pos, float dist, float* target);

/// The target routines for every N, chosen at run time by output count.
inline constexpr auto kTargetRoutines =
    per_count<TargetRoutine>([](auto n) -> TargetRoutine { return &circle_targets<decltype(n)::value>; });

}  // namespace rondel
