// One sequencer client of ours, for one client of the MIDI service: its ports, its
// connections, sending to software clients, and the reader thread that polls the
// sequencer and a wake-up descriptor and hands on what arrives. Deleting it stops and
// joins the thread first, so no handler runs once the destructor returned.
#pragma once

#include "Platform/CoreMIDI.h"

#include <alsa/asoundlib.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CAlsaSequencerClient {
  public:
    /// Bytes from the sequencer port inSource for our port inOurPort, one packet per event.
    using InputHandler = std::function<void(int inOurPort, snd_seq_addr_t inSource,
                                            std::vector<std::vector<std::uint8_t>> inPackets)>;
    /// An event of System:Announce (a client or port came or went).
    using AnnounceHandler = std::function<void(const snd_seq_event_t& inEvent)>;

    /// Opens the sequencer as a client named inName. Returns 0 or a negative errno.
    static int open(const std::string& inName, InputHandler inInput, AnnounceHandler inAnnounce,
                    std::unique_ptr<CAlsaSequencerClient>& outClient);
    ~CAlsaSequencerClient();

    CAlsaSequencerClient(const CAlsaSequencerClient&) = delete;
    CAlsaSequencerClient& operator=(const CAlsaSequencerClient&) = delete;

    int clientNumber() const { return mClientNumber; }
    /// A port that receives (inInput) or sends. Returns its number or a negative errno.
    int createPort(bool inInput);
    void deletePort(int inPort);
    /// Routes the source inSource to our port inPort. Returns 0 or a negative errno.
    int connectFrom(int inPort, snd_seq_addr_t inSource);
    int disconnectFrom(int inPort, snd_seq_addr_t inSource);
    /// Sends inList from our port inPort to inDestination as events of at most 256 bytes,
    /// each once the receiving program's queue has room for it. Returns 0, or the negative
    /// errno of the first refusal (-EAGAIN: the program read nothing for 5 s); nothing is
    /// retried.
    int sendTo(int inPort, snd_seq_addr_t inDestination, const MIDIPacketList& inList);

  private:
    CAlsaSequencerClient(snd_seq_t* inSequencer, int inWakeup, InputHandler inInput,
                         AnnounceHandler inAnnounce);
    /// Waits until the input queue of inClient has inCells free. 0, or -EAGAIN when it
    /// stays full.
    int waitForRoom(int inClient, int inCells);
    void readUntilStopped();

    snd_seq_t* mSequencer;
    int mSequencerFd; // the kernel's sequencer, for what alsa-lib does not ask
    int mClientNumber;
    int mAnnouncePort = -1;
    int mWakeup; // an eventfd: written to stop the reader
    InputHandler mInput;
    AnnounceHandler mAnnounce;
    std::mutex mSendMutex;
    std::thread mReader; // last: started once everything above exists
};
