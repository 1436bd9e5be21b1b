// Prints a 32-bit float WAV file as columns for plotting: the time in
// seconds, then one column per channel, every STEP-th frame.
#include <cstdio>
#include <cstdlib>

#include "wav.hpp"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: wav_columns FILE.wav [STEP=1] [RATE=44100]\n");
        return 2;
    }
    const long step = argc > 2 ? std::atol(argv[2]) : 1;
    const double rate = argc > 3 ? std::atof(argv[3]) : 44100.0;
    const auto ch = rondel::tools::read_float_wav(argv[1]);
    if (ch.empty() || step < 1) {
        std::fprintf(stderr, "wav_columns: cannot read %s\n", argv[1]);
        return 1;
    }
    for (std::size_t i = 0; i < ch[0].size(); i += static_cast<std::size_t>(step)) {
        std::printf("%.6f", static_cast<double>(i) / rate);
        for (const auto& c : ch)
            std::printf(" %.9g", static_cast<double>(c[i]));
        std::printf("\n");
    }
    return 0;
}
