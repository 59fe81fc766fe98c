#include "MidiEvent.h"

#include "Common/DebugUtil.h"

#include <cstring>

namespace {

// The record moved into the form TForm, unless it is in that form already.
template <typename TForm, typename TVariant> void becomeForm(TVariant& ioPayload) {
    if (std::holds_alternative<TForm>(ioPayload)) {
        return;
    }
    CMidiPayload record =
        std::visit([](CMidiPayload& ioForm) { return CMidiPayload(std::move(ioForm)); }, ioPayload);
    ioPayload.template emplace<TForm>(std::move(record));
}

} // namespace

void CMidiEvent::setType(std::uint8_t inType) {
    mEventType = inType;
    if (inType == kEventTypeMeta) {
        becomeForm<CMidiMetaEvent>(mPayload);
    } else if (inType == kEventTypeSysEx) {
        becomeForm<CMidiSysExEvent>(mPayload);
    } else {
        becomeForm<CMidiShortEvent>(mPayload);
    }
}

void CMidiEvent::setDataType(std::uint8_t inType) {
    if (CMidiShortEvent* shortEvent = getShortData()) {
        shortEvent->setType(inType);
    } else if (CMidiMetaEvent* metaEvent = getMetaData()) {
        metaEvent->setType(inType);
    }
}

std::uint8_t CMidiEvent::getDataType() const {
    if (const CMidiShortEvent* shortEvent = getShortData()) {
        return shortEvent->getType();
    }
    if (const CMidiSysExEvent* sysEx = getSysExData()) {
        return sysEx->getType();
    }
    const CMidiMetaEvent* meta = getMetaData();
    return meta != nullptr ? meta->getType() : 0;
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
