#include "MidiPayload.h"

#include "../DebugUtil.h"
#include "SMFUtil.h"

#include <cstdint>
#include <cstring>

void CMidiPayload::setParam(const std::uint8_t* inParam, std::uint32_t inSize) {
    DTA_ASSERT(0 != inParam);
    std::memcpy(replaceData(inSize), inParam, inSize);
}

void CMidiPayload::setParam(std::uint8_t inFirst, const std::uint8_t* inRest,
                            std::uint32_t inSize) {
    DTA_ASSERT(0 != inRest);
    DTA_ASSERT(inSize < UINT32_MAX);
    std::uint8_t* data = replaceData(inSize + 1);
    data[0] = inFirst;
    std::memcpy(data + 1, inRest, inSize);
}

std::uint8_t* CMidiPayload::replaceData(std::uint32_t inSize) {
    // Allocate before releasing, so an allocation failure leaves the old data in place.
    auto* data = new std::uint8_t[inSize];
    delete[] mData;
    mData = data;
    mDataSize = inSize;
    return data;
}

void CMidiPayload::clearParam() {
    delete[] mData;
    mData = nullptr;
    mDataSize = 0;
}

std::uint32_t CMidiPayload::getSizeBytes() const {
    return SMFUtil::getVariableValSize(mDataSize);
}

bool CMidiPayload::dataBeginsWith(const std::uint8_t* inPrefix, std::uint32_t inCount) const {
    return mDataSize >= inCount && std::memcmp(mData, inPrefix, inCount) == 0;
}
