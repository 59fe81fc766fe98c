// One track event: an absolute tick, a kind code and a payload.
//
// The payload is one record presented as a CMidiShortEvent, CMidiMetaEvent or
// CMidiSysExEvent according to the kind code. The event owns its payload's data, allocated
// from the memory resource it was made with: the heap, or the arena of the track that read it.
#pragma once

#include "MidiMetaEvent.h"
#include "MidiShortEvent.h"
#include "MidiSysExEvent.h"

#include <cstdint>
#include <memory_resource>
#include <variant>

class CMidiEvent {
  public:
    static constexpr std::uint32_t kEventTypeNone = 0;
    static constexpr std::uint32_t kEventTypeShort = 1;
    static constexpr std::uint32_t kEventTypeSysEx = 2;
    static constexpr std::uint32_t kEventTypeMeta = 3;

    CMidiEvent() : CMidiEvent(std::pmr::get_default_resource()) {}
    /// An event of kind 0 whose data are allocated from inResource, which must outlive it.
    explicit CMidiEvent(std::pmr::memory_resource* inResource)
        : mPayload(std::in_place_type<CMidiShortEvent>, inResource) {}

    CMidiEvent(const CMidiEvent&) = delete;
    CMidiEvent& operator=(const CMidiEvent&) = delete;

    /// Short type index of a status byte's high nibble, 7 if it is no channel status.
    static std::uint8_t GetShortEventType(std::uint8_t inStatus) {
        return CMidiShortEvent::lookupType(inStatus);
    }
    /// Meta type index of a meta type byte, 15 if the table does not list it.
    static std::uint8_t GetMetaEventType(std::uint8_t inTypeByte) {
        return CMidiMetaEvent::lookupType(inTypeByte);
    }

    /// Stores the kind code; the payload, lead byte and data kept, takes the kind's form.
    void setType(std::uint8_t inType);

    /// The payload in the form of the kind code, or null for another kind.
    CMidiShortEvent* getShortData() { return as<CMidiShortEvent>(kEventTypeShort); }
    CMidiMetaEvent* getMetaData() { return as<CMidiMetaEvent>(kEventTypeMeta); }
    CMidiSysExEvent* getSysExData() { return as<CMidiSysExEvent>(kEventTypeSysEx); }
    const CMidiShortEvent* getShortData() const { return as<CMidiShortEvent>(kEventTypeShort); }
    const CMidiMetaEvent* getMetaData() const { return as<CMidiMetaEvent>(kEventTypeMeta); }
    const CMidiSysExEvent* getSysExData() const { return as<CMidiSysExEvent>(kEventTypeSysEx); }

    /// Sets the type index of a short or meta payload; no effect for other kinds.
    void setDataType(std::uint8_t inType);
    /// The payload's type index; 0 for kind 0.
    std::uint8_t getDataType() const;
    /// The payload's data size; 0 for kind 0.
    std::uint32_t getDataSize() const {
        return mEventType == kEventTypeNone ? 0 : payload().getDataSize();
    }
    /// Replaces the data with a copy of inSize bytes; inParam must not be null.
    void setDataParam(const std::uint8_t* inParam, std::uint32_t inSize) {
        payload().setParam(inParam, inSize);
    }
    /// Copies getDataSize() bytes to outParam, which must not be null.
    void getDataParam(std::uint8_t* outParam) const;
    /// Releases the data; kind and tick stay. Not for kind 0.
    void resetEvent();

    /// The shared record, whatever the kind: lead byte and data.
    CMidiPayload& payload() {
        return std::visit([](CMidiPayload& ioForm) -> CMidiPayload& { return ioForm; }, mPayload);
    }
    const CMidiPayload& payload() const {
        return std::visit([](const CMidiPayload& inForm) -> const CMidiPayload& { return inForm; },
                          mPayload);
    }

  private:
    template <typename TForm> TForm* as(std::uint32_t inKind) {
        return mEventType == inKind ? std::get_if<TForm>(&mPayload) : nullptr;
    }
    template <typename TForm> const TForm* as(std::uint32_t inKind) const {
        return mEventType == inKind ? std::get_if<TForm>(&mPayload) : nullptr;
    }

    // Only the form in use exists: kind 0 and short events hold the short form.
    std::variant<CMidiShortEvent, CMidiMetaEvent, CMidiSysExEvent> mPayload;

  public:
    std::uint32_t mEventType = kEventTypeNone;
    std::uint32_t mTick = 0;
};
