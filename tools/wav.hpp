// Reads the 32-bit float WAV files that Pd's soundfiler writes.
#pragma once

#include <string>
#include <vector>

namespace rondel::tools {

/// Channels of a 32-bit float WAV file, one vector of samples each; empty if the file cannot be read.
std::vector<std::vector<float>> read_float_wav(const std::string& path);

}  // namespace rondel::tools
