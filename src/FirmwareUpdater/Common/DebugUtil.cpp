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
std::atomic<mstd::DiagnosticSink> sLogSink{nullptr};

std::string located(const char* inMessage, const char* inSource, int inLine) {
    return std::string(inMessage) + " (" + inSource + ":" + std::to_string(inLine) + ")";
}

} // namespace

namespace mstd {

void locatedDiagnostic(const char* inMessage, const char* inSource, int inLine) {
    sSink.load()(located(inMessage, inSource, inLine).c_str());
}

void loggedDiagnostic(const char* inMessage, const char* inSource, int inLine) {
    if (const DiagnosticSink log = sLogSink.load()) {
        log(located(inMessage, inSource, inLine).c_str());
    }
}

void plainDiagnostic(const char* inMessage) {
    sSink.load()(inMessage);
}

void setDiagnosticSink(DiagnosticSink inSink) {
    sSink = inSink != nullptr ? inSink : toStandardError;
}

void setLogSink(DiagnosticSink inSink) {
    sLogSink = inSink;
}

void assertionFailed(const char* inCondition, const char* inFile, int inLine) {
    std::fprintf(stderr, "Assertion failed: %s (%s:%d)\n", inCondition, inFile, inLine);
    std::abort();
}

} // namespace mstd
