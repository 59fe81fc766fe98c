#include "MidiPayload.h"

#include "Common/DebugUtil.h"
#include "SMFUtil.h"

#include <cstdint>
#include <cstring>

void CMidiPayload::setParam(const std::uint8_t* inParam, std::uint32_t inSize) {
    DTA_ASSERT(0 != inParam || 0 == inSize);
    std::uint8_t* data = replaceData(inSize);
    if (inSize > 0) {
        std::memcpy(data, inParam, inSize);
    }
}

void CMidiPayload::setParam(std::uint8_t inFirst, const std::uint8_t* inParam,
                            std::uint32_t inSize) {
    DTA_ASSERT(0 != inParam || 0 == inSize);
    std::uint8_t* data = replaceData(1 + inSize);
    data[0] = inFirst;
    if (inSize > 0) {
        std::memcpy(data + 1, inParam, inSize);
    }
}

std::uint8_t* CMidiPayload::replaceData(std::uint32_t inSize) {
    // Allocate before releasing, so an allocation failure leaves the old data in place.
    auto* data = static_cast<std::uint8_t*>(mResource->allocate(inSize, 1));
    clearParam();
    mData = data;
    mDataSize = inSize;
    return data;
}

void CMidiPayload::clearParam() {
    if (mData != nullptr) {
        mResource->deallocate(mData, mDataSize, 1);
    }
    mData = nullptr;
    mDataSize = 0;
}

std::uint32_t CMidiPayload::getSizeBytes() const {
    return SMFUtil::getVariableValSize(mDataSize);
}

bool CMidiPayload::dataBeginsWith(const std::uint8_t* inPrefix, std::uint32_t inCount) const {
    return mDataSize >= inCount && std::memcmp(mData, inPrefix, inCount) == 0;
}
