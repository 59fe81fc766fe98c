// Writes the sample firmware image that the updater bundles (run by the build), or a burst
// of long messages for the send path's tests on the real kernel.
#include "FirmwareImage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

constexpr const char* kUsage =
    "usage: vyr-make-sample-image OUTPUT\n"
    "       vyr-make-sample-image --burst COUNT BYTES OUTPUT\n"
    "\n"
    "Writes the sample firmware image that the updater bundles; with --burst, COUNT\n"
    "messages of BYTES bytes (12 to 65536: the most one SysEx event of a MIDI file\n"
    "holds) all at tick 0, sent back to back.\n";

// A whole number from inMin to inMax, or 0.
std::uint32_t count(const char* inText, unsigned long inMin, unsigned long inMax) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(inText, &end, 10);
    const bool whole = inText[0] >= '0' && inText[0] <= '9' && *end == '\0';
    return whole && value >= inMin && value <= inMax ? static_cast<std::uint32_t>(value) : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const bool burst = argc == 5 && std::strcmp(argv[1], "--burst") == 0;
    const char* output = argv[argc - 1];
    // An option is no file name: "--help" must not become a file called "--help".
    if ((argc != 2 && !burst) || output[0] == '-') {
        std::fprintf(stderr, "vyr-make-sample-image: %s\n%s",
                     argc != 2 ? "one OUTPUT file needed" : "unknown option", kUsage);
        return 2;
    }
    const std::uint32_t messages = burst ? count(argv[2], 1, 16384) : 0;
    // The event holds the message but its F0, at most 65535 bytes for the reader.
    const std::uint32_t size = burst ? count(argv[3], 12, 65536) : 0;
    if (burst && (messages == 0 || size == 0)) {
        std::fprintf(stderr, "vyr-make-sample-image: COUNT is 1 to 16384, BYTES 12 to 65536\n");
        return 2;
    }
    try {
        const std::vector<std::uint8_t> bytes =
            buildFirmwareImage(burst ? burstFirmwareImage(messages, size) : sampleFirmwareImage());
        std::FILE* file = std::fopen(output, "wb");
        const bool written =
            file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if (file == nullptr || std::fclose(file) != 0 || !written) {
            std::fprintf(stderr, "vyr-make-sample-image: %s: %s\n", output, std::strerror(errno));
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vyr-make-sample-image: %s\n", e.what());
        return 1;
    }
    return 0;
}
