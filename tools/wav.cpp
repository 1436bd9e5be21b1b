#include "wav.hpp"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace rondel::tools {

namespace {

std::uint32_t le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

}  // namespace

std::vector<std::vector<float>> read_float_wav(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    const std::vector<unsigned char> d((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (d.size() < 12 || std::memcmp(d.data(), "RIFF", 4) != 0 || std::memcmp(d.data() + 8, "WAVE", 4) != 0)
        return {};
    int channels = 0, bits = 0;
    for (std::size_t i = 12; i + 8 <= d.size();) {
        const std::uint32_t size = le32(&d[i + 4]);
        const unsigned char* body = &d[i + 8];
        if (i + 8 + size > d.size())
            return {};
        if (std::memcmp(&d[i], "fmt ", 4) == 0 && size >= 16) {
            channels = le16(body + 2);
            bits = le16(body + 14);
        } else if (std::memcmp(&d[i], "data", 4) == 0) {
            if (channels <= 0 || bits != 32)
                return {};
            const std::size_t frames = size / (4u * channels);
            std::vector<std::vector<float>> out(channels, std::vector<float>(frames));
            for (std::size_t j = 0; j < frames; ++j)
                for (int c = 0; c < channels; ++c)
                    std::memcpy(&out[c][j], body + 4 * (j * channels + c), 4);
            return out;
        }
        i += 8 + size + (size & 1);
    }
    return {};
}

}  // namespace rondel::tools
