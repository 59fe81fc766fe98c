#include "MidiMetaEvent.h"

#include "Common/DebugUtil.h"

std::uint8_t CMidiMetaEvent::lookupType(std::uint8_t inTypeByte) {
    for (std::uint8_t i = 0; i < kTypeMax; ++i) {
        if (sMsgType[i] == inTypeByte) {
            return i;
        }
    }
    return kTypeMax;
}

void CMidiMetaEvent::setType(std::uint8_t inType) {
    DTA_ASSERT(inType < kTypeMax);
    setLeadByte(sMsgType[inType]);
}

bool CMidiMetaEvent::isChordEventData() const {
    static constexpr std::uint8_t kChord[] = {0x43, 0x7B, 0x01};
    return dataBeginsWith(kChord, sizeof kChord);
}

bool CMidiMetaEvent::isRehearsalMarkEventData() const {
    static constexpr std::uint8_t kRehearsalMark[] = {0x43, 0x7B, 0x02};
    return dataBeginsWith(kRehearsalMark, sizeof kRehearsalMark);
}
