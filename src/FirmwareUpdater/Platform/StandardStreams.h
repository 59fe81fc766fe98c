// The standard streams of a command-line program: none of them may be missing, and what
// was written to standard output must have reached it.
#pragma once

#include <string>

/// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that no file the
/// program opens later takes its number (and gets its messages). Call first thing.
void EnsureStandardDescriptors();

/// Flushes and closes standard output. True when everything written reached its
/// destination, else false with why not (a full disk, a closed pipe) in outWhy.
[[nodiscard]] bool FinishStandardOutput(std::string& outWhy);
