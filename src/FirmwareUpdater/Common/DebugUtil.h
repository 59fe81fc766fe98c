// Diagnostic lines on the standard error stream, and fatal assertions for caller errors.
//
// Libraries print nothing but these lines. Each line is written with one call, so lines
// from several threads never interleave within a line.
#pragma once

namespace mstd {

/// Writes "inMessage (inSource:inLine)\n": a platform failure that the program survives.
void locatedDiagnostic(const char* inMessage, const char* inSource, int inLine);

/// Sends "inMessage (inSource:inLine)" to the log only: an expected failure (a device that
/// was unplugged) that people need not see. Dropped while no log is set.
void loggedDiagnostic(const char* inMessage, const char* inSource, int inLine);

/// Writes "inMessage\n": a notice or a swallowed exception.
void plainDiagnostic(const char* inMessage);

/// Receives each diagnostic line, without its newline; any thread.
using DiagnosticSink = void (*)(const char* inLine);
/// Routes the diagnostic lines to inSink (a front-end keeping them off its progress line,
/// say); nullptr: standard error again.
void setDiagnosticSink(DiagnosticSink inSink);

/// Receives the lines of loggedDiagnostic (the program's log); nullptr: none.
void setLogSink(DiagnosticSink inSink);

/// Writes the failed condition and where it is, then aborts.
[[noreturn]] void assertionFailed(const char* inCondition, const char* inFile, int inLine);

} // namespace mstd

/// A located diagnostic from the current line of a source that names itself inSource.
#define DTA_LOCATED_DIAGNOSTIC(inMessage, inSource)                                                \
    ::mstd::locatedDiagnostic((inMessage), (inSource), __LINE__)

/// A logged diagnostic from the current line of a source that names itself inSource.
#define DTA_LOGGED_DIAGNOSTIC(inMessage, inSource)                                                 \
    ::mstd::loggedDiagnostic((inMessage), (inSource), __LINE__)

/// A caller error: never the result of bad input data. Checked in every build type.
#define DTA_ASSERT(condition)                                                                      \
    ((condition) ? static_cast<void>(0) : ::mstd::assertionFailed(#condition, __FILE__, __LINE__))
