#include "FileIO.h"

#include "Platform/AtomicFile.h"
#include "Platform/FileRead.h"

bool readFileBytes(const std::string& inPath, std::vector<std::uint8_t>& outBytes,
                   std::string& outError) {
    outError = ReadWholeFile(inPath, EFileKind::kAnyStream, kMaxFileBytes, outBytes);
    return outError.empty();
}

bool writeFileBytes(const std::string& inPath, const std::vector<std::uint8_t>& inBytes,
                    std::string& outError) {
    return WriteFileAtomically(inPath, inBytes.data(), inBytes.size(), &outError);
}
