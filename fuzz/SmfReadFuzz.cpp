// Reads arbitrary bytes as a Standard MIDI File; what is accepted must survive the codec's
// round trip (tests/support/SmfRoundTrip.h).
#include "SmfRoundTrip.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize) {
    if (const std::string problem = SmfRoundTripProblem(inData, inSize); !problem.empty()) {
        std::fprintf(stderr, "round trip: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
