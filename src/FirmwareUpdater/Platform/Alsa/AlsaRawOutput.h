// Output to a card's MIDI port through its rawmidi device: blocking writes that wait for
// room in the kernel's buffer, so no byte is ever dropped, and a drain that returns once
// the bytes have left. The sequencer's bridge to the same port would cut a long SysEx
// short and still report success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

using snd_rawmidi_t = struct _snd_rawmidi;

class CAlsaRawOutput {
  public:
    /// Opens inDevice ("hw:C,D,S") for output, exclusively. Returns 0 or a negative errno
    /// (-EBUSY: someone else has the port open).
    static int open(const std::string& inDevice, std::unique_ptr<CAlsaRawOutput>& outOutput);
    ~CAlsaRawOutput();

    CAlsaRawOutput(const CAlsaRawOutput&) = delete;
    CAlsaRawOutput& operator=(const CAlsaRawOutput&) = delete;

    /// Writes every byte, waiting for room. Returns 0 or a negative errno.
    int write(const std::uint8_t* inBytes, std::size_t inLength);
    /// Waits until every written byte has left. Returns 0 or a negative errno.
    int drain();
    /// Drops what has not left yet.
    void drop();

  private:
    explicit CAlsaRawOutput(snd_rawmidi_t* inHandle) : mHandle(inHandle) {}

    snd_rawmidi_t* mHandle;
};
