#include "Chunk.h"

#include "Common/DebugUtil.h"
#include "SMFUtil.h"

namespace {
constexpr std::uint32_t kFramingSize = 8;
}

bool CChunk::setData(const std::uint8_t* inBuff, std::uint32_t inSize, std::uint32_t& outConsumed) {
    outConsumed = 0;
    mReadFailure = {};
    std::uint32_t bodySize = 0;
    if (!readChunkHeader(inBuff, inSize, bodySize)) {
        return false;
    }
    outConsumed += kFramingSize;
    if (!readChunkBody(inBuff + kFramingSize, bodySize)) {
        mReadFailure.offset += kFramingSize;
        return false;
    }
    outConsumed += bodySize;
    return true;
}

bool CChunk::readChunkHeader(const std::uint8_t* inBuff, std::uint32_t inSize,
                             std::uint32_t& outBodySize) {
    DTA_ASSERT(0 != inBuff);
    if (inSize < kFramingSize) {
        return refuse(ESMFReadFailure::kChunkTooShort, 0);
    }
    const std::uint32_t id = SMFUtil::readBE32(inBuff);
    if (mChunkId != 0 && mChunkId != id) {
        return refuse(ESMFReadFailure::kChunkId, 0);
    }
    mChunkId = id;
    const std::uint32_t bodySize = SMFUtil::readBE32(inBuff + 4);
    if (bodySize > inSize - kFramingSize) {
        return refuse(ESMFReadFailure::kChunkLength, 4);
    }
    outBodySize = bodySize;
    return true;
}

bool CChunk::getData(std::uint8_t* ioBuff, std::uint32_t& outWritten) const {
    if (!writeChunkHeader(ioBuff)) {
        return false;
    }
    std::uint32_t bodySize = 0;
    if (!writeChunkBody(ioBuff + kFramingSize, bodySize)) {
        return false;
    }
    outWritten = bodySize + kFramingSize;
    return true;
}

bool CChunk::writeChunkHeader(std::uint8_t* ioBuff) const {
    DTA_ASSERT(0 != ioBuff);
    SMFUtil::writeBE32(ioBuff, mChunkId);
    SMFUtil::writeBE32(ioBuff + 4, getChunkDataSize());
    return true;
}

void CChunk::reset(std::uint32_t inChunkId) {
    resetChunkData();
    mChunkId = inChunkId;
}

bool CChunk::refuse(ESMFReadFailure inReason, std::uint32_t inOffset) {
    mReadFailure.reason = inReason;
    mReadFailure.offset = inOffset;
    return false;
}
