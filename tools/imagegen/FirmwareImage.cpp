#include "FirmwareImage.h"

#include <stdexcept>
#include <string>

namespace {

// xorshift32: a small generator whose sequence is the same on every platform and run.
class CRandom {
  public:
    explicit CRandom(std::uint32_t inSeed) : mState(inSeed != 0 ? inSeed : 0x9E3779B9u) {}
    std::uint32_t next() {
        mState ^= mState << 13;
        mState ^= mState >> 17;
        mState ^= mState << 5;
        return mState;
    }

  private:
    std::uint32_t mState;
};

void addMeta(CMidiTrack& ioTrack, std::uint32_t inTick, std::uint8_t inType,
             const std::vector<std::uint8_t>& inData) {
    auto* event = new CMidiEvent;
    event->setType(CMidiEvent::kEventTypeMeta);
    event->mTick = inTick;
    event->setDataType(inType);
    event->setDataParam(inData.data(), static_cast<std::uint32_t>(inData.size()));
    ioTrack.AddEvent(event);
}

} // namespace

std::vector<std::uint8_t> toFileBytes(const CSMF& inSmf) {
    std::vector<std::uint8_t> bytes(inSmf.GetFileSize());
    std::uint32_t written = 0;
    if (!inSmf.getData(bytes.data(), written)) {
        throw std::length_error("the sequence has no file encoding (ticks out of order?)");
    }
    bytes.resize(written);
    return bytes;
}

std::vector<std::uint8_t> buildFirmwareImage(const SFirmwareImage& inImage) {
    CSMF smf;
    smf.mHeader.mFormat = 1;
    smf.mHeader.mDivision = inImage.division;
    CMidiTrack* tempoTrack = smf.addTrack();
    if (!inImage.name.empty()) {
        const auto* name = reinterpret_cast<const std::uint8_t*>(inImage.name.data());
        smf.setSequenceName(0, name, static_cast<std::uint32_t>(inImage.name.size()));
    }
    for (const STempoChange& tempo : inImage.tempos) {
        const std::uint32_t us = tempo.microsPerQuarter;
        addMeta(*tempoTrack, tempo.tick, CMidiMetaEvent::kTypeSetTempo,
                {static_cast<std::uint8_t>(us >> 16), static_cast<std::uint8_t>(us >> 8),
                 static_cast<std::uint8_t>(us)});
    }
    CMidiTrack* dataTrack = smf.addTrack();
    for (const SFirmwareMessage& message : inImage.messages) {
        auto* event = new CMidiEvent;
        event->setType(CMidiEvent::kEventTypeSysEx);
        event->mTick = message.tick;
        event->setDataParam(message.bytes.data(), static_cast<std::uint32_t>(message.bytes.size()));
        dataTrack->AddEvent(event);
    }
    return toFileBytes(smf);
}

std::vector<std::uint8_t> makeFirmwareMessage(std::uint32_t inBlock, std::uint32_t inSize,
                                              std::uint32_t inSeed) {
    static constexpr std::uint8_t kPrefix[] = {0xF0, 0x43, 0x7D, 0x70, 0x44, 0x54, 0x41};
    constexpr std::uint32_t kFraming = sizeof kPrefix + 2 + 1 + 1; // block, checksum, F7
    if (inSize < kFraming + 1) {
        throw std::invalid_argument("a firmware message needs at least 12 bytes");
    }
    std::vector<std::uint8_t> bytes(kPrefix, kPrefix + sizeof kPrefix);
    bytes.push_back(static_cast<std::uint8_t>((inBlock >> 7) & 0x7F));
    bytes.push_back(static_cast<std::uint8_t>(inBlock & 0x7F));
    CRandom random(inSeed ^ (inBlock * 2654435761u));
    std::uint32_t sum = 0;
    for (std::uint32_t i = 0; i < inSize - kFraming; ++i) {
        const auto byte = static_cast<std::uint8_t>(random.next() & 0x7F);
        sum += byte;
        bytes.push_back(byte);
    }
    bytes.push_back(static_cast<std::uint8_t>((0x80 - (sum & 0x7F)) & 0x7F));
    bytes.push_back(0xF7);
    return bytes;
}

SFirmwareImage burstFirmwareImage(std::uint32_t inCount, std::uint32_t inSize) {
    SFirmwareImage image;
    image.name = "VYR burst " + std::to_string(inCount) + " x " + std::to_string(inSize);
    image.tempos = {{0, 500000}};
    for (std::uint32_t block = 0; block < inCount; ++block) {
        image.messages.push_back({0, makeFirmwareMessage(block, inSize, 0xB0257)});
    }
    return image;
}

SFirmwareImage sampleFirmwareImage() {
    SFirmwareImage image;
    image.division = 480;
    image.name = "VYR_Firm_ver200main (sample)";
    // 4.0 s + 2.0 s + 2.4375 s + 1.575 s: about ten seconds in all.
    image.tempos = {{0, 500000}, {3840, 375000}, {6400, 450000}, {9000, 300000}};
    constexpr std::uint32_t kMessages = 320;
    constexpr std::uint32_t kTicksApart = 36;
    CRandom sizes(20261206);
    for (std::uint32_t block = 0; block < kMessages; ++block) {
        const std::uint32_t size = 12 + sizes.next() % 589; // 12 to 600 bytes
        image.messages.push_back({block * kTicksApart, makeFirmwareMessage(block, size, 0x5EED)});
    }
    return image;
}
