// Builds firmware images with the codec's own writer: the sample image that the updater
// bundles, and the images that tests and benchmarks play or read.
#pragma once

#include "Common/SMF/SMF.h"

#include <cstdint>
#include <string>
#include <vector>

struct STempoChange {
    std::uint32_t tick;
    std::uint32_t microsPerQuarter; // 24 bits in the file
};

struct SFirmwareMessage {
    std::uint32_t tick;
    std::vector<std::uint8_t> bytes; // a whole SysEx message, F0 ... F7
};

struct SFirmwareImage {
    std::uint16_t division = 480;
    std::string name;                       // sequence name in track 0; none if empty
    std::vector<STempoChange> tempos;       // track 0, in tick order
    std::vector<SFirmwareMessage> messages; // track 1, in tick order
};

/// The whole file as the codec writes it. Throws std::length_error for an image the codec
/// cannot write (ticks out of order, or a file of 4 GiB or more).
std::vector<std::uint8_t> toFileBytes(const CSMF& inSmf);

/// A format-1 file: track 0 the name and the tempo map, track 1 the messages.
std::vector<std::uint8_t> buildFirmwareImage(const SFirmwareImage& inImage);

/// A deterministic SysEx message of the family's firmware form, inSize bytes long (at
/// least 12): F0 43 7D 70 44 54 41, a 14-bit block number, 7-bit data, a checksum, F7.
std::vector<std::uint8_t> makeFirmwareMessage(std::uint32_t inBlock, std::uint32_t inSize,
                                              std::uint32_t inSeed);

/// inCount messages of inSize bytes, all at tick 0 so that they are sent back to back: the
/// hardest load for a send path (long messages with no pause to drain between them).
SFirmwareImage burstFirmwareImage(std::uint32_t inCount, std::uint32_t inSize);

/// The sample image the updater bundles: about 320 messages of 12 to 600 bytes over about
/// ten seconds, with four tempo changes. The same bytes on every run.
SFirmwareImage sampleFirmwareImage();
