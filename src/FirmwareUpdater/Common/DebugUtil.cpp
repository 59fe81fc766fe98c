#include "Common/DebugUtil.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void toStandardError(const char* inLine) {
    std::fprintf(stderr, "%s\n", inLine);
}

std::atomic<mstd::DiagnosticSink> sSink{toStandardError};

} // namespace

namespace mstd {

void locatedDiagnostic(const char* inMessage, const char* inSource, int inLine) {
    const std::string line =
        std::string(inMessage) + " (" + inSource + ":" + std::to_string(inLine) + ")";
    sSink.load()(line.c_str());
}

void plainDiagnostic(const char* inMessage) {
    sSink.load()(inMessage);
}

void setDiagnosticSink(DiagnosticSink inSink) {
    sSink = inSink != nullptr ? inSink : toStandardError;
}

void assertionFailed(const char* inCondition, const char* inFile, int inLine) {
    std::fprintf(stderr, "Assertion failed: %s (%s:%d)\n", inCondition, inFile, inLine);
    std::abort();
}

} // namespace mstd
