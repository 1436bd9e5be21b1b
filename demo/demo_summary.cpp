// Prints what the demo recorded: how much of the sound each loudspeaker
// carried, and where the sound was as time went on.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "wav.hpp"

namespace {

double db(double power) { return power > 0 ? 10.0 * std::log10(power) : -999.0; }

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: demo_summary FILE.wav [RATE]\n");
        return 2;
    }
    const int rate = argc > 2 ? std::atoi(argv[2]) : 44100;
    const auto ch = rondel::tools::read_float_wav(argv[1]);
    if (ch.empty() || ch[0].empty()) {
        std::fprintf(stderr, "demo_summary: cannot read %s as a 32-bit float WAV file\n", argv[1]);
        return 1;
    }
    const std::size_t frames = ch[0].size();
    std::printf("%s: %zu outputs, %.2f s at %d Hz\n\n", argv[1], ch.size(), double(frames) / rate, rate);

    std::vector<double> energy(ch.size());
    double total = 0;
    for (std::size_t k = 0; k < ch.size(); ++k) {
        for (float x : ch[k])
            energy[k] += double(x) * x;
        total += energy[k];
    }
    std::printf("output  share of energy  mean level\n");
    for (std::size_t k = 0; k < ch.size(); ++k) {
        const double share = total > 0 ? energy[k] / total : 0;
        std::printf("  %2zu      %5.1f %%       %6.1f dB  %s\n", k + 1, 100 * share, db(energy[k] / frames),
                    std::string(static_cast<std::size_t>(share * 60 + 0.5), '#').c_str());
    }

    // Level of every output in windows of a quarter second: the sound's path.
    const std::size_t window = rate / 4;
    std::printf("\nlevel per output every 0.25 s (dB; '.' below -40 dB)\n  time ");
    for (std::size_t k = 0; k < ch.size(); ++k)
        std::printf("%6zu", k + 1);
    std::printf("\n");
    for (std::size_t start = 0; start + window <= frames; start += window) {
        std::printf("%5.2fs ", double(start) / rate);
        for (const auto& c : ch) {
            double p = 0;
            for (std::size_t i = start; i < start + window; ++i)
                p += double(c[i]) * c[i];
            const double level = db(p / window);
            if (level < -40)
                std::printf("%6s", ".");
            else
                std::printf("%6.1f", level);
        }
        std::printf("\n");
    }
    return 0;
}
