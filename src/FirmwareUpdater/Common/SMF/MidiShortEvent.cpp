#include "MidiShortEvent.h"

#include "Common/DebugUtil.h"

namespace {
// The table is in ascending status order, one entry per nibble from 0x8 to 0xE, so a lookup
// is arithmetic on the nibble.
constexpr bool tableIsNibbleOrdered() {
    for (std::uint8_t i = 0; i < CMidiShortEvent::kTypeMax; ++i) {
        if (CMidiShortEvent::shortMsgInfo[i].status != 0x80 + 0x10 * i) {
            return false;
        }
    }
    return true;
}
static_assert(tableIsNibbleOrdered());
} // namespace

std::uint8_t CMidiShortEvent::lookupType(std::uint8_t inStatus) {
    const unsigned kind = inStatus & 0xF0u;
    return kind >= 0x80 && kind <= 0xE0 ? static_cast<std::uint8_t>((kind - 0x80) >> 4) : kTypeMax;
}

void CMidiShortEvent::setType(std::uint8_t inType) {
    DTA_ASSERT(inType < kTypeMax);
    setLeadByte(static_cast<std::uint8_t>(shortMsgInfo[inType].status | getChannel()));
}

void CMidiShortEvent::setChannel(std::uint8_t inChannel) {
    DTA_ASSERT(inChannel < 0x10);
    setLeadByte(static_cast<std::uint8_t>((getLeadByte() & 0xF0) | inChannel));
}
