#include "MidiEvent.h"

#include "Common/DebugUtil.h"

#include <cstring>

void CMidiEvent::setDataType(std::uint8_t inType) {
    if (CMidiShortEvent* shortEvent = getShortData()) {
        shortEvent->setType(inType);
    } else if (CMidiMetaEvent* metaEvent = getMetaData()) {
        metaEvent->setType(inType);
    }
}

std::uint8_t CMidiEvent::getDataType() const {
    switch (mEventType) {
    case kEventTypeShort:
        return mPayload.mShort.getType();
    case kEventTypeSysEx:
        return mPayload.mSysEx.getType();
    case kEventTypeMeta:
        return mPayload.mMeta.getType();
    default:
        return 0;
    }
}

void CMidiEvent::getDataParam(std::uint8_t* outParam) const {
    DTA_ASSERT(0 != outParam);
    if (getDataSize() > 0) {
        std::memcpy(outParam, payload().getParam(), getDataSize());
    }
}

void CMidiEvent::resetEvent() {
    DTA_ASSERT(kEventTypeNone != mEventType);
    payload().clearParam();
}
