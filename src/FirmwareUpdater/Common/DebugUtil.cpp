#include "Common/DebugUtil.h"

#include <cstdio>
#include <cstdlib>

namespace mstd {

void locatedDiagnostic(const char* inMessage, const char* inSource, int inLine) {
    std::fprintf(stderr, "%s (%s:%d)\n", inMessage, inSource, inLine);
}

void plainDiagnostic(const char* inMessage) {
    std::fprintf(stderr, "%s\n", inMessage);
}

void assertionFailed(const char* inCondition, const char* inFile, int inLine) {
    std::fprintf(stderr, "Assertion failed: %s (%s:%d)\n", inCondition, inFile, inLine);
    std::abort();
}

} // namespace mstd
