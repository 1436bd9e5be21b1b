// The kernel on AVX2 lanes for the tests; this file alone is built with AVX2.
#include "dispatch.hpp"

namespace rondel::test {

const BlockRoutines<float> kBlockRoutinesAvx2 = kBlockRoutinesOn<lanes::Avx2>;

}  // namespace rondel::test
