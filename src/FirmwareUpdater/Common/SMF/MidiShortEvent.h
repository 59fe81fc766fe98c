// A channel message: the lead byte is the status (kind in the high nibble, channel in the
// low), the data are its 1 or 2 data bytes.
#pragma once

#include "MidiPayload.h"

class CMidiShortEvent : public CMidiPayload {
  public:
    using CMidiPayload::CMidiPayload;
    /// The record of another form, taken over.
    explicit CMidiShortEvent(CMidiPayload&& ioRecord) noexcept
        : CMidiPayload(std::move(ioRecord)) {}

    struct SMsgInfo {
        std::uint8_t status;    // high nibble, channel 0
        std::uint8_t dataBytes; // data bytes after the status
    };
    /// One past the last type index: a lead byte that is no channel status.
    static constexpr std::uint8_t kTypeMax = 7;
    static constexpr SMsgInfo shortMsgInfo[kTypeMax] = {
        {0x80, 2}, // note off
        {0x90, 2}, // note on
        {0xA0, 2}, // polyphonic key pressure
        {0xB0, 2}, // control change
        {0xC0, 1}, // program change
        {0xD0, 1}, // channel pressure
        {0xE0, 2}, // pitch bend
    };

    /// The index in shortMsgInfo of inStatus's high nibble, kTypeMax if none.
    static std::uint8_t lookupType(std::uint8_t inStatus);

    /// Sets the status's high nibble from shortMsgInfo; the channel stays. inType < kTypeMax.
    void setType(std::uint8_t inType);
    std::uint8_t getType() const { return lookupType(getLeadByte()); }
    /// Sets the low nibble; inChannel < 16.
    void setChannel(std::uint8_t inChannel);
    std::uint8_t getChannel() const { return getLeadByte() & 0x0F; }
};
