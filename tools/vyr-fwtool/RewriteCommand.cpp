#include "Commands.h"
#include "FileIO.h"
#include "FirmwareImage.h"
#include "ImageFile.h"

#include <stdexcept>

int runRewrite(const std::string& inPath, const std::string& inOutPath, bool inSort) {
    CSMF smf;
    std::string error;
    if (!loadImageFile(inPath, smf, error)) {
        return reportFailure(inPath, error);
    }
    if (inSort) {
        smf.fix();
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes = toFileBytes(smf);
    } catch (const std::length_error& e) {
        return reportFailure(inOutPath, e.what());
    }
    if (!writeFileBytes(inOutPath, bytes, error)) {
        return reportFailure(inOutPath, error);
    }
    return kExitOk;
}
