// The pre-check looks at every byte of the file, so on a firmware image it costs as much
// as the parse itself unless it runs at memory speed. The inner loop has no early exit, so
// compilers turn it into vector code: it asks of a block whether any position holds an 'M'
// with a 'k' three bytes on, and only blocks that do are compared whole. memchr alone stops
// at every 'M', about one byte in a hundred of 7-bit firmware data.
#include "TrackTagScan.h"

#include <cstring>

namespace {

constexpr char kTag[] = {'M', 'T', 'r', 'k'};
constexpr std::uint32_t kBlock = 256;

bool tagAt(const std::uint8_t* inBuff, std::uint32_t inPosition) {
    return std::memcmp(inBuff + inPosition, kTag, sizeof kTag) == 0;
}

// A byte, not a bool, gathers the answers: gcc vectorizes only that.
bool mayHoldTag(const std::uint8_t* inBlock) {
    std::uint8_t candidate = 0;
    for (std::uint32_t i = 0; i < kBlock; ++i) {
        candidate |=
            static_cast<std::uint8_t>((inBlock[i] == kTag[0]) & (inBlock[i + 3] == kTag[3]));
    }
    return candidate != 0;
}

} // namespace

std::uint32_t findTrackTag(const std::uint8_t* inBuff, std::uint32_t inFrom, std::uint32_t inLast) {
    std::uint32_t p = inFrom;
    // A block starting at p reads up to p + kBlock + 2, which is inside while p + kBlock - 1
    // is a position to look at.
    for (; p <= inLast && inLast - p >= kBlock - 1; p += kBlock) {
        if (mayHoldTag(inBuff + p)) {
            for (std::uint32_t q = p; q < p + kBlock; ++q) {
                if (tagAt(inBuff, q)) {
                    return q;
                }
            }
        }
    }
    for (; p <= inLast; ++p) {
        if (tagAt(inBuff, p)) {
            return p;
        }
    }
    return inLast + 1;
}
