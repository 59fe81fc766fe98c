// Loading a Standard MIDI File for the tool's commands.
#pragma once

#include "Common/SMF/SMF.h"

#include <string>

/// Reads inPath into ioSmf. On failure returns false with a one-line reason in outError:
/// what is wrong and, for a refused file, at which byte offset.
[[nodiscard]] bool loadImageFile(const std::string& inPath, CSMF& ioSmf, std::string& outError);
