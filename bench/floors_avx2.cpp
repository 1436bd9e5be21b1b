// The floors with 256-bit vectors; this file alone is built with AVX2.
#include "floors.hpp"

namespace rondel::bench {

const Floor kStoreFloorAvx2 = store_floor<lanes::Avx2>;
const Floor kMultiplyFloorAvx2 = multiply_floor<lanes::Avx2>;

}  // namespace rondel::bench
