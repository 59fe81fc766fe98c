// Where a port's messages to one destination go, chosen once, when the destination is first
// used: a card's port through its rawmidi device (CAlsaRawOutput), another program's port
// through the sequencer. A send then does one thing.
#pragma once

#include "Platform/CoreMIDI.h"

#include <memory>
#include <string>

class CAlsaRawOutput;
class CAlsaSequencerClient;

class CAlsaOutput {
  public:
    virtual ~CAlsaOutput() = default;

    /// Sends the list's bytes; 0, or a negative errno. Any thread, one send at a time.
    [[nodiscard]] virtual int send(const MIDIPacketList& inList) = 0;
    /// Drops what has not left yet.
    virtual void drop() = 0;
    /// What a failed send means, for people; inLabel names the destination.
    virtual std::string describeFailure(const std::string& inLabel, int inStatus) const = 0;

    /// To a card's port, through its open rawmidi device.
    static std::shared_ptr<CAlsaOutput> raw(std::unique_ptr<CAlsaRawOutput> inDevice);
    /// To another program's port (inClient:inPort), from our port inOurPort of inSequencer.
    static std::shared_ptr<CAlsaOutput> sequencer(std::shared_ptr<CAlsaSequencerClient> inSequencer,
                                                  int inOurPort, int inClient, int inPort);
};
