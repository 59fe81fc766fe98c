// Real MIDI devices through ALSA. Endpoints are sequencer ports (model: the client's name,
// name: the port's name, address: "client:port"), listed in (client, port) order without
// our own clients, the System client and ports that are hidden or inactive. Input comes
// through the sequencer. Output to a card's port goes through the card's rawmidi device
// (blocking, drained before a send returns, nothing dropped); output to another program's
// port goes through the sequencer in events of at most 256 bytes, and any refusal fails
// the send. System:Announce reports removal and arrival; a device plugged in again gets
// a new identity, although ALSA gives it the same client:port numbers.
#pragma once

#include "Platform/MIDIService.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

class CAlsaOutput;
class CAlsaSequencerClient;
using snd_seq_t = struct _snd_seq;

class CAlsaMIDIDriver final : public CMIDIDriver {
  public:
    CAlsaMIDIDriver() = default;
    ~CAlsaMIDIDriver() override;

    CAlsaMIDIDriver(const CAlsaMIDIDriver&) = delete;
    CAlsaMIDIDriver& operator=(const CAlsaMIDIDriver&) = delete;

    // CMIDIDriver
    [[nodiscard]] bool attach(CMIDIDriverHost& inHost, std::string& outWhy) override;
    void detach() override;
    std::vector<MIDIDriverEndpoint> endpoints(bool inSources) override;
    [[nodiscard]] OSStatus property(MIDIDriverEndpoint inEndpoint, EProperty inProperty,
                                    std::string& outValue) override;
    [[nodiscard]] OSStatus openClient(MIDIClientRef inClient, const std::string& inName) override;
    void closeClient(MIDIClientRef inClient) override;
    [[nodiscard]] OSStatus openPort(MIDIClientRef inClient, MIDIPortRef inPort,
                                    bool inInput) override;
    [[nodiscard]] OSStatus closePort(MIDIPortRef inPort) override;
    [[nodiscard]] OSStatus connect(MIDIPortRef inPort, MIDIDriverEndpoint inSource) override;
    [[nodiscard]] OSStatus disconnect(MIDIPortRef inPort, MIDIDriverEndpoint inSource) override;
    [[nodiscard]] OSStatus send(MIDIPortRef inPort, MIDIDriverEndpoint inDestination,
                                const MIDIPacketList& inList) override;
    [[nodiscard]] OSStatus flush(MIDIDriverEndpoint inDestination) override;
    std::string takeProblem() override;

  private:
    using Address = std::pair<int, int>; // client, port
    struct SPort {
        MIDIClientRef client = 0;
        std::shared_ptr<CAlsaSequencerClient> sequencer;
        int number = -1; // our sequencer port
        // Where its messages go, by destination, chosen on the first send to it.
        std::map<MIDIDriverEndpoint, std::shared_ptr<CAlsaOutput>> outputs;
    };

    /// The output of ioPort to inDestination at inAddress, made on first use (a card's port
    /// opened, with who keeps it busy told). With the lock held.
    [[nodiscard]] OSStatus outputTo(SPort& ioPort, MIDIDriverEndpoint inDestination,
                                    Address inAddress, std::shared_ptr<CAlsaOutput>& outOutput);

    /// The identity of the port at inAddress, made on first sight. With the lock held.
    MIDIDriverEndpoint identityOf(Address inAddress);
    /// The address behind inIdentity while its port lives. With the lock held.
    [[nodiscard]] bool addressOf(MIDIDriverEndpoint inIdentity, Address& outAddress) const;
    bool isOurs(int inClient) const;
    /// "hw:C,D,S" when the port at inAddress is a card's MIDI port. With the lock held.
    std::string rawDeviceOf(Address inAddress) const;
    /// Who keeps the port at inAddress busy, and how to free it. With the lock held.
    std::string describeBusy(Address inAddress) const;
    /// "name" (client:port) for messages. With the lock held.
    std::string labelOf(Address inAddress) const;
    /// Sets the problem for takeProblem() and returns inStatus. With the lock held.
    [[nodiscard]] OSStatus fail(OSStatus inStatus, std::string inProblem);

    void received(MIDIClientRef inClient, int inOurPort, Address inSource,
                  const std::vector<std::vector<std::uint8_t>>& inPackets);
    /// A client or port came or went (an event type of System:Announce).
    void announced(int inEventType, Address inAddress);

    mutable std::mutex mMutex;
    CMIDIDriverHost* mHost = nullptr;
    snd_seq_t* mQuery = nullptr; // our own client for listing and looking things up
    std::map<MIDIClientRef, std::shared_ptr<CAlsaSequencerClient>> mClients;
    std::map<MIDIPortRef, SPort> mPorts;
    std::map<Address, MIDIDriverEndpoint> mIdentities;
    std::map<MIDIDriverEndpoint, Address> mAddresses;
    MIDIDriverEndpoint mNextIdentity = 1;
    std::string mProblem;
};
