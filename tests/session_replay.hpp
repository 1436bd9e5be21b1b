// The shared session played on models of its objects: the messages go to the
// model, each block's outputs come from the routine under test.
#pragma once

#include <cstdint>
#include <vector>

#include "object_model.hpp"
#include "shared_vectors.hpp"

namespace rondel::test {

/// Digest of every output sample of the session at 44100 Hz; `process(model,
/// input)` runs one block on the model's state and returns its outputs as floats.
template <typename Process>
std::uint64_t session_digest(Process process)
{
    Digest digest;
    std::uint32_t noise = 0x2545f491u;
    for (float arg : kSessionArguments) {
        ObjectModel m(arg, 44100.0f);
        for (const Step& s : session()) {
            switch (s.kind) {
            case Step::kVal:
            case Step::kValInlet: m.val(s.value); break;
            case Step::kDist:
            case Step::kDistInlet: m.distance(s.value); break;
            case Step::kLine:
            case Step::kLineInlet: m.line(s.value); break;
            case Step::kBlock:
                for (const std::vector<float>& out : process(m, session_input(static_cast<int>(s.value), noise)))
                    for (float x : out)
                        digest.add(x);
                break;
            }
        }
    }
    return digest.value;
}

}  // namespace rondel::test
