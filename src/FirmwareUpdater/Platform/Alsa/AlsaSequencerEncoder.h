// Turns bytes into the sequencer events that carry them to a software client: a SysEx
// message in events of at most 256 bytes (a bigger event is refused by the receiver's
// pool), other messages one event each. Nothing is held back: a SysEx message that goes
// on in the next packet list is sent as far as it came, and bytes that make no message
// are an error, never dropped.
#pragma once

#include <alsa/asoundlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class CAlsaSequencerEncoder {
  public:
    static constexpr std::size_t kMaxEventBytes = 256;
    /// Sends one event; returns 0 or a negative errno.
    using Emit = std::function<int(snd_seq_event_t& ioEvent)>;

    CAlsaSequencerEncoder();
    ~CAlsaSequencerEncoder();

    CAlsaSequencerEncoder(const CAlsaSequencerEncoder&) = delete;
    CAlsaSequencerEncoder& operator=(const CAlsaSequencerEncoder&) = delete;

    /// Encodes inBytes, continuing what the calls since the last finish() began. Returns 0
    /// or the first negative result of inEmit.
    int add(const std::uint8_t* inBytes, std::size_t inLength, const Emit& inEmit);
    /// Sends the SysEx bytes still gathered. Returns 0, the result of inEmit, or -EINVAL
    /// when a channel or system message was left incomplete.
    int finish(const Emit& inEmit);

  private:
    int emitSysEx(const Emit& inEmit);

    snd_midi_event_t* mParser = nullptr;
    bool mInSysEx = false;
    bool mPartialMessage = false;
    std::vector<std::uint8_t> mSysEx; // gathered, at most kMaxEventBytes
};
