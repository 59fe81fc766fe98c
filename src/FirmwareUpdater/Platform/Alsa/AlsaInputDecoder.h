// Turns the sequencer events of one client's input into the bytes they stand for, one
// packet per event. After an input overflow (the kernel discarded the client's whole
// queue) the rest of a SysEx message that was cut is dropped until its source starts a
// new one, so no message is ever pieced together from two.
#pragma once

#include <alsa/asoundlib.h>

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

class CAlsaInputDecoder {
  public:
    CAlsaInputDecoder();
    ~CAlsaInputDecoder();

    CAlsaInputDecoder(const CAlsaInputDecoder&) = delete;
    CAlsaInputDecoder& operator=(const CAlsaInputDecoder&) = delete;

    /// The bytes of inEvent, nothing for an event that carries no MIDI bytes or that falls
    /// in a cut SysEx message.
    std::vector<std::uint8_t> decode(const snd_seq_event_t& inEvent);
    /// The queue was lost: every source must start a new SysEx message before more of one
    /// passes. Returns true the first time, to say so once.
    bool overflowed();

  private:
    snd_midi_event_t* mParser = nullptr;
    bool mOverflowed = false;
    bool mOverflowReported = false;
    std::set<std::pair<int, int>> mResynchronised; // sources that began anew since
};
