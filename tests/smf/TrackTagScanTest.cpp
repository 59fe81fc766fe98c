#include "Common/SMF/TrackTagScan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

std::vector<std::uint32_t> naiveTags(const std::vector<std::uint8_t>& inBytes, std::uint32_t inFrom,
                                     std::uint32_t inLast) {
    std::vector<std::uint32_t> found;
    for (std::uint32_t p = inFrom; p <= inLast; ++p) {
        if (std::memcmp(inBytes.data() + p, "MTrk", 4) == 0) {
            found.push_back(p);
        }
    }
    return found;
}

std::vector<std::uint32_t> scannedTags(const std::uint8_t* inBytes, std::uint32_t inFrom,
                                       std::uint32_t inLast) {
    std::vector<std::uint32_t> found;
    for (std::uint32_t p = findTrackTag(inBytes, inFrom, inLast); p <= inLast;
         p = findTrackTag(inBytes, p + 1, inLast)) {
        found.push_back(p);
    }
    return found;
}

TEST(TrackTagScan, FindsWhatAByteByByteSearchFinds) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        const std::uint32_t size = 4 + random() % 800; // across several 256-byte blocks
        // Exactly size bytes on the heap, so AddressSanitizer sees any load past them.
        std::vector<std::uint8_t> bytes(size, 'x');
        if (round % 2 == 0) {
            for (auto& b : bytes) {
                b = "MTrkMx"[random() % 6]; // dense in partial and whole tags
            }
        } else {
            // One tag alone, anywhere in a block or across two.
            std::memcpy(bytes.data() + random() % (size - 3), "MTrk", 4);
        }
        const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[size]);
        std::memcpy(exact.get(), bytes.data(), size);
        const std::uint32_t last = size - 4;
        const std::uint32_t from = random() % (last + 2);
        ASSERT_EQ(scannedTags(exact.get(), from, last), naiveTags(bytes, from, last))
            << "size " << size << " from " << from;
    }
}

} // namespace
