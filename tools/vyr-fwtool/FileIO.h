// Whole-file reading and writing for the command-line tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Reads the whole file. On failure returns false with a one-line reason in outError.
bool readFileBytes(const std::string& inPath, std::vector<std::uint8_t>& outBytes,
                   std::string& outError);

/// Writes the file through a temporary file beside it and a rename, so an existing file is
/// either replaced whole or left as it was. On failure returns false with a reason.
bool writeFileBytes(const std::string& inPath, const std::vector<std::uint8_t>& inBytes,
                    std::string& outError);
