// Writes the sample firmware image that the updater bundles. Run by the build.
#include "FirmwareImage.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
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
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
