// The header chunk ("MThd"): format, number of tracks and division, stored as read.
#pragma once

#include "Chunk.h"

class CMidiHeader : public CChunk {
  public:
    static constexpr std::uint32_t kChunkId = 0x4D546864; // "MThd"
    static constexpr std::uint32_t kBodySize = 6;

    CMidiHeader() : CChunk(kChunkId) {}
    ~CMidiHeader() override;

    std::uint32_t getChunkDataSize() const override { return kBodySize; }
    void resetChunkData() override;
    /// Reads the three fields from a body of at least 6 bytes; bytes after the sixth are
    /// not looked at. Each field is stored as soon as it is read.
    bool readChunkBody(const std::uint8_t* inBuff, std::uint32_t inSize) override;
    bool writeChunkBody(std::uint8_t* ioBuff, std::uint32_t& outWritten) const override;

    std::uint16_t mFormat = 0;
    std::uint16_t mNumTracks = 0;
    std::uint16_t mDivision = 0;
};
