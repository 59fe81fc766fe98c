// Output to a card's MIDI port through its rawmidi device: blocking writes, so no byte is
// ever dropped, and a drain that returns once the bytes have left. The sequencer's bridge
// to the same port would cut a long SysEx short and still report success.
//
// Every write goes into an idle (drained) stream. The kernel marks buffer space as filled
// and drops its lock before it copies a writer's bytes in, so an output that is already
// sending can send that space's old contents: written in pieces while the previous ones
// leave, a long SysEx arrives with a stretch of stale bytes and every write succeeds.
// Into an idle stream, a write that fits the buffer is copied whole before the output
// starts. Pieces are small enough to leave within the kernel's drain limit (10 s in all,
// then the rest is dropped) even on a DIN line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <poll.h>
#include <string>
#include <vector>

using snd_rawmidi_t = struct _snd_rawmidi;

class CAlsaRawOutput {
  public:
    /// At most this many bytes go into the stream at a time: 5.2 s on a DIN line (3,125
    /// bytes/s), well within the kernel's 10 s for a drain.
    static constexpr std::size_t kPieceBytes = 16384;

    /// Opens inDevice ("hw:C,D,S") for output, exclusively, with a buffer of kPieceBytes
    /// (or the kernel's default if it refuses that). Returns 0 or a negative errno
    /// (-EBUSY: someone else has the port open).
    static int open(const std::string& inDevice, std::unique_ptr<CAlsaRawOutput>& outOutput);
    ~CAlsaRawOutput();

    CAlsaRawOutput(const CAlsaRawOutput&) = delete;
    CAlsaRawOutput& operator=(const CAlsaRawOutput&) = delete;

    /// Writes every byte and returns once they have left, each piece written into the
    /// drained stream; signals and short writes neither lose nor repeat a byte. Returns 0
    /// or a negative errno; after a failure nothing is left queued, so closing is quick.
    int send(const std::uint8_t* inBytes, std::size_t inLength);
    /// Drops what has not left yet.
    void drop();

  private:
    CAlsaRawOutput(snd_rawmidi_t* inHandle, std::size_t inBufferBytes)
        : mHandle(inHandle), mBufferBytes(inBufferBytes) {}
    /// Writes at most inLength bytes; the count written or a negative errno, never 0.
    long writeSome(const std::uint8_t* inBytes, std::size_t inLength);
    int drain();
    std::vector<pollfd> descriptors() const;

    snd_rawmidi_t* mHandle;
    std::size_t mBufferBytes; // kPieceBytes, or what the kernel gave instead
    bool mStuck = false;      // bytes are queued that neither leave nor can be dropped
};
