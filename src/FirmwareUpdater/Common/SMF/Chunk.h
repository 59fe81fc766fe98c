// The framing every chunk of a Standard MIDI File shares: a four-character id, a 32-bit
// big-endian body length, then the body. Concrete chunks plug in through the virtual
// operations; CChunk reads and writes the 8 framing bytes.
#pragma once

#include "SMFReadFailure.h"

#include <cstdint>

class CChunk {
  public:
    /// inChunkId: the id as a big-endian 32-bit value ("MTrk" is 0x4D54726B); 0 accepts
    /// whatever id is read and takes it on.
    explicit CChunk(std::uint32_t inChunkId) : mChunkId(inChunkId) {}
    virtual ~CChunk() = default;

    CChunk(const CChunk&) = delete;
    CChunk& operator=(const CChunk&) = delete;

    /// The body length that writeChunkBody will produce.
    virtual std::uint32_t getChunkDataSize() const = 0;
    /// Empties the chunk's contents.
    virtual void resetChunkData() = 0;
    /// Parses and checks the 8 framing bytes of a chunk that has inSize bytes from its first
    /// byte on. On success outBodySize holds the body length, which fits in inSize - 8.
    virtual bool readChunkHeader(const std::uint8_t* inBuff, std::uint32_t inSize,
                                 std::uint32_t& outBodySize);
    /// Reads a body of exactly inSize bytes.
    virtual bool readChunkBody(const std::uint8_t* inBuff, std::uint32_t inSize) = 0;
    /// Writes the id and getChunkDataSize() into the first 8 bytes of ioBuff; always true.
    virtual bool writeChunkHeader(std::uint8_t* ioBuff) const;
    /// Writes the body (getChunkDataSize() bytes) and reports its length in outWritten.
    virtual bool writeChunkBody(std::uint8_t* ioBuff, std::uint32_t& outWritten) const = 0;

    /// Reads one whole chunk from inBuff, of which inSize bytes are available. outConsumed
    /// is 8 + body length on success; on failure 0 (framing refused) or 8 (body refused).
    bool setData(const std::uint8_t* inBuff, std::uint32_t inSize, std::uint32_t& outConsumed);
    /// Writes the whole chunk into ioBuff, which holds at least 8 + getChunkDataSize()
    /// bytes. On success outWritten is 8 + the body length; on failure it is not set.
    bool getData(std::uint8_t* ioBuff, std::uint32_t& outWritten) const;
    /// Empties the contents, then sets the id.
    void reset(std::uint32_t inChunkId);

    std::uint32_t getChunkId() const { return mChunkId; }
    /// Why the last read failed; offset counts from the chunk's first byte.
    const SSMFReadFailure& getReadFailure() const { return mReadFailure; }

  protected:
    /// Records why a read failed, for people; returns false so readers can return it.
    bool refuse(ESMFReadFailure inReason, std::uint32_t inOffset);

  private:
    std::uint32_t mChunkId;
    SSMFReadFailure mReadFailure;
};
