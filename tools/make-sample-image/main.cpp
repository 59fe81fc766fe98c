// Writes the sample firmware image that the updater bundles. Run by the build.
#include "FirmwareImage.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

constexpr const char* kUsage = "usage: vyr-make-sample-image OUTPUT\n"
                               "\n"
                               "Writes the sample firmware image that the updater bundles.\n";

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // An option is no file name: "--help" must not become a file called "--help".
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "vyr-make-sample-image: %s\n%s",
                     argc != 2 ? "one OUTPUT file needed" : "unknown option", kUsage);
        return 2;
    }
    try {
        const std::vector<std::uint8_t> bytes = buildFirmwareImage(sampleFirmwareImage());
        std::FILE* file = std::fopen(argv[1], "wb");
        if (file == nullptr) {
            std::perror(argv[1]);
            return 1;
        }
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if (std::fclose(file) != 0 || !written) {
            std::perror(argv[1]);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vyr-make-sample-image: %s\n", e.what());
        return 1;
    }
    return 0;
}
