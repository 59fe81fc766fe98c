// A system-exclusive message: the data are the message bytes, as they are to be sent.
#pragma once

#include "MidiPayload.h"

class CMidiSysExEvent : public CMidiPayload {
  public:
    using CMidiPayload::CMidiPayload;
    /// The record of another form, taken over.
    explicit CMidiSysExEvent(CMidiPayload&& ioRecord) noexcept
        : CMidiPayload(std::move(ioRecord)) {}

    static constexpr std::uint8_t kTypeComplete = 0;  // data begins with 0xF0
    static constexpr std::uint8_t kTypeContinued = 1; // anything else, also no data

    std::uint8_t getType() const {
        return getDataSize() > 0 && getParam()[0] == 0xF0 ? kTypeComplete : kTypeContinued;
    }
};
