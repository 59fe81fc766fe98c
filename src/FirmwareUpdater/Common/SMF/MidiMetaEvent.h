// A meta event: the lead byte is the meta type byte as the file holds it (also one that
// sMsgType does not list), the data are the bytes after the length.
#pragma once

#include "MidiPayload.h"

class CMidiMetaEvent : public CMidiPayload {
  public:
    using CMidiPayload::CMidiPayload;
    /// The record of another form, taken over.
    explicit CMidiMetaEvent(CMidiPayload&& ioRecord) noexcept : CMidiPayload(std::move(ioRecord)) {}

    /// One past the last type index: a type byte that is not in sMsgType.
    static constexpr std::uint8_t kTypeMax = 15;
    static constexpr std::uint8_t sMsgType[kTypeMax] = {
        0x00, // sequence number
        0x01, // text
        0x02, // copyright notice
        0x03, // sequence or track name
        0x04, // instrument name
        0x05, // lyric
        0x06, // marker
        0x07, // cue point
        0x20, // MIDI channel prefix
        0x2F, // end of track
        0x51, // set tempo
        0x54, // SMPTE offset
        0x58, // time signature
        0x59, // key signature
        0x7F, // sequencer-specific
    };
    static constexpr std::uint8_t kTypeSequenceName = 3;
    static constexpr std::uint8_t kTypeEndOfTrack = 9;
    static constexpr std::uint8_t kTypeSetTempo = 10;
    static constexpr std::uint8_t kTypeSequencerSpecific = 14;

    /// The index of inTypeByte in sMsgType, kTypeMax if none.
    static std::uint8_t lookupType(std::uint8_t inTypeByte);

    /// Sets the lead byte to sMsgType[inType]; inType < kTypeMax.
    void setType(std::uint8_t inType);
    std::uint8_t getType() const { return lookupType(getLeadByte()); }

    /// Sequencer-specific data of a chord: at least 3 bytes, beginning 43 7B 01.
    bool isChordEventData() const;
    /// Sequencer-specific data of a rehearsal mark: at least 3 bytes, beginning 43 7B 02.
    bool isRehearsalMarkEventData() const;
};
