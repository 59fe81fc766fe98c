#include "MidiEvent.h"

#include "Common/DebugUtil.h"

#include <cstring>

std::unique_ptr<CMidiEvent> CMidiEvent::newWithData(std::uint32_t inSize) {
    std::unique_ptr<CMidiEvent> event(new (inSize) CMidiEvent);
    event->payload().useStorageInEvent(reinterpret_cast<std::uint8_t*>(event.get() + 1), inSize);
    return event;
}

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
