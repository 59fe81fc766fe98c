// Whole-file reading and writing for the command-line tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// The largest input read: the codec's sizes are 32-bit, and a stream may never end.
inline constexpr std::size_t kMaxFileBytes = 256u << 20;

/// Reads the whole file, a pipe, or standard input for "-". On failure returns false with a
/// one-line reason in outError.
[[nodiscard]] bool readFileBytes(const std::string& inPath, std::vector<std::uint8_t>& outBytes,
                                 std::string& outError);

/// Writes the file through a temporary file beside it and a rename, so an existing file is
/// either replaced whole or left as it was; a symlink is written through and an existing
/// file keeps its mode; a device, FIFO or directory is refused. On failure returns false
/// with a reason.
[[nodiscard]] bool writeFileBytes(const std::string& inPath,
                                  const std::vector<std::uint8_t>& inBytes, std::string& outError);
