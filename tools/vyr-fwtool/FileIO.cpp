#include "FileIO.h"

#include "Platform/AtomicFile.h"
#include "Platform/FileRead.h"

#include <cstdio>

bool readFileBytes(const std::string& inPath, std::vector<std::uint8_t>& outBytes,
                   std::string& outError) {
    return ReadWholeFile(inPath, EFileKind::kAnyStream, kMaxFileBytes, outBytes, outError);
}

bool writeFileBytes(const std::string& inPath, const std::vector<std::uint8_t>& inBytes,
                    std::string& outError) {
    if (inPath == "-") { // whether it arrived, main tells when it closes standard output
        std::fwrite(inBytes.data(), 1, inBytes.size(), stdout);
        return true;
    }
    return WriteFileAtomically(inPath, inBytes.data(), inBytes.size(), &outError);
}
