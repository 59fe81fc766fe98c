// Replacing a file so that it is either the old one or the new one, whatever happens.
#pragma once

#include <cstddef>
#include <string>

/// Writes inSize bytes to a temporary file beside inPath, flushes it to disk, renames it
/// over inPath and flushes the folder. A symlink is written through: the file it names is
/// replaced and the link stays. An existing file keeps its mode; one that is not a regular
/// file (a device, a FIFO, a directory) is refused. On failure returns false with a reason
/// in outError (if given); inPath is then as it was and no temporary file is left.
/// The file a path names once its symlinks are followed (a link to a link, relative or
/// not, also to a file not made yet); the path itself when it is no link.
std::string FollowLinks(std::string inPath);

[[nodiscard]] bool WriteFileAtomically(const std::string& inPath, const void* inData,
                                       std::size_t inSize, std::string* outError = nullptr);
