#include "MidiPayload.h"

#include "Common/DebugUtil.h"
#include "SMFUtil.h"

#include <cstdint>
#include <cstring>

void CMidiPayload::setParam(const std::uint8_t* inParam, std::uint32_t inSize) {
    DTA_ASSERT(0 != inParam);
    std::memcpy(replaceData(inSize), inParam, inSize);
}

std::uint8_t* CMidiPayload::replaceData(std::uint32_t inSize) {
    // Allocate before releasing, so an allocation failure leaves the old data in place.
    auto* data = new std::uint8_t[inSize];
    clearParam();
    mData = data;
    mDataSize = inSize;
    return data;
}

void CMidiPayload::useStorageInEvent(std::uint8_t* inStorage, std::uint32_t inSize) {
    DTA_ASSERT(nullptr == mData);
    mData = inStorage;
    mDataSize = inSize;
    mDataInEvent = true;
}

void CMidiPayload::clearParam() {
    if (!mDataInEvent) {
        delete[] mData;
    }
    mData = nullptr;
    mDataSize = 0;
    mDataInEvent = false;
}

std::uint32_t CMidiPayload::getSizeBytes() const {
    return SMFUtil::getVariableValSize(mDataSize);
}

bool CMidiPayload::dataBeginsWith(const std::uint8_t* inPrefix, std::uint32_t inCount) const {
    return mDataSize >= inCount && std::memcmp(mData, inPrefix, inCount) == 0;
}
