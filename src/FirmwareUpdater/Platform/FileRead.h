// Reading a whole file whose size and kind nobody vouches for: a limit on the bytes taken,
// and no hang on a FIFO that nobody writes to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class EFileKind {
    kRegularOnly, // a regular file, or a symlink to one; anything else is refused unread
    kAnyStream,   // also pipes, FIFOs, character devices and "-" for standard input
};

/// Reads the whole of inPath into outBytes. False with a one-line reason in outWhy: what is
/// wrong (missing, a directory, not a regular file, larger than inMaxBytes, a read error with
/// the system's words); outBytes is empty then.
[[nodiscard]] bool ReadWholeFile(const std::string& inPath, EFileKind inKind,
                                 std::size_t inMaxBytes, std::vector<std::uint8_t>& outBytes,
                                 std::string& outWhy);
