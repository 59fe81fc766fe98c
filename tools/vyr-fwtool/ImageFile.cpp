#include "ImageFile.h"

#include "FileIO.h"
#include "Platform/Utf8.h"

#include <cstdio>

#include <vector>

bool loadImageFile(const std::string& inPath, CSMF& ioSmf, std::string& outError) {
    std::vector<std::uint8_t> bytes;
    if (!readFileBytes(inPath, bytes, outError)) {
        return false;
    }
    std::uint32_t consumed = 0;
    // A vector's data() may be null when it is empty; the codec refuses that as "no data".
    static const std::uint8_t kEmpty = 0;
    const std::uint8_t* data = bytes.empty() ? &kEmpty : bytes.data();
    if (ioSmf.setData(data, static_cast<std::uint32_t>(bytes.size()), consumed)) {
        // Not refused (the updater reads past them too), but never passed over in silence.
        if (consumed < bytes.size()) {
            std::fprintf(stderr,
                         "vyr-fwtool: %s: note: %zu bytes after the last track are not read\n",
                         PrintableText(inPath).c_str(), bytes.size() - consumed);
        }
        return true;
    }
    outError = formatSMFReadFailure(ioSmf.getReadFailure());
    return false;
}
