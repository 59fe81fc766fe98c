// An in-process MIDI system: the driver behind --simulate and behind every transport test.
//
// Devices (the simulated VYR device, tests) create sources and destinations, inject bytes on
// a source and receive what is sent to a destination; clients of the service see the same
// endpoints through CoreMIDI.h once the driver is installed (MIDIServiceInstallDriver).
// Sources and destinations are listed in the order they were added; a source and a
// destination of the same model and name are one port with one address, as in a sequencer.
// Injected bytes go to the input ports connected at the time; sends are handed to the
// destination's receiver on the sending thread, before MIDISend returns.
//
// Every member may be called from any thread. Receivers are called with no lock of the
// driver held, so they may call the service again.
#pragma once

#include "Platform/MIDIService.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class CVirtualMIDIService final : public CMIDIDriver {
  public:
    /// Receives every packet list sent to a destination, with the host time of the send.
    using Receiver = std::function<void(const MIDIPacketList& inList, MIDITimeStamp inHostTime)>;

    /// The operations a fault can be injected into.
    enum class EOperation {
        kClientCreate,
        kInputPortCreate,
        kOutputPortCreate,
        kPortDispose,
        kPortConnectSource,
        kPortDisconnectSource,
        kObjectGetStringProperty,
        kSend,
    };

    CVirtualMIDIService() = default;
    CVirtualMIDIService(const CVirtualMIDIService&) = delete;
    CVirtualMIDIService& operator=(const CVirtualMIDIService&) = delete;

    // Endpoints.
    /// Returns the endpoint's identity in the driver, for the calls below.
    MIDIDriverEndpoint addSource(const std::string& inModel, const std::string& inName);
    MIDIDriverEndpoint addDestination(const std::string& inModel, const std::string& inName,
                                      Receiver inReceiver = {});
    /// Removes a source or destination: connections to it end, sends to it fail, and every
    /// client's notification procedure receives kMIDIMsgObjectRemoved on the service thread.
    /// Returns false for an unknown endpoint.
    bool removeEndpoint(MIDIDriverEndpoint inEndpoint);
    /// An unreadable property makes MIDIObjectGetStringProperty fail with kMIDIUnknownProperty.
    void setPropertyReadable(MIDIDriverEndpoint inEndpoint, EProperty inProperty, bool inReadable);

    // Traffic.
    /// Queues one packet list with one packet per element of inPackets (each at most 65535
    /// bytes) for every input port connected to inSource now and still connected when it is
    /// delivered. Returns false, queuing nothing, for an unknown source, an oversized packet,
    /// or while the driver is not installed.
    bool inject(MIDIDriverEndpoint inSource,
                const std::vector<std::vector<std::uint8_t>>& inPackets);
    /// Returns once everything queued before the call has been delivered. Not from the
    /// service thread.
    void waitUntilDelivered();

    // Faults.
    /// The next call of inOperation returns inStatus (non-zero) and does nothing else.
    void failNext(EOperation inOperation, OSStatus inStatus);
    /// Counting sends from now on, the inSendNumber-th (1 for the next) and every later one
    /// return inStatus and deliver nothing.
    void failSendsFrom(std::uint32_t inSendNumber, OSStatus inStatus);
    void clearFaults();

    // Observation, for tests.
    std::size_t portCount() const;
    std::size_t connectionCount() const;
    std::uint32_t flushCount(MIDIDriverEndpoint inDestination) const;
    std::size_t clientCount() const;

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

  private:
    struct SEndpoint {
        bool isSource = false;
        std::string model;
        std::string name;
        bool modelReadable = true;
        bool nameReadable = true;
        Receiver receiver;
        std::uint32_t flushes = 0;
        MIDIDriverEndpoint port = 0; // its address: shared by a source and destination pair
        bool paired = false;
    };
    struct SPort {
        bool input = false;
        std::set<MIDIDriverEndpoint> sources;
    };

    MIDIDriverEndpoint addEndpoint(SEndpoint inEndpoint);
    /// Takes a pending fault of inOperation, if any. Called with the lock held.
    [[nodiscard]] OSStatus takeFault(EOperation inOperation);

    mutable std::mutex mMutex;
    CMIDIDriverHost* mHost = nullptr;
    MIDIDriverEndpoint mNextEndpoint = 1;
    std::map<MIDIDriverEndpoint, SEndpoint> mEndpoints;
    std::vector<MIDIDriverEndpoint> mSources;      // in the order they were added
    std::vector<MIDIDriverEndpoint> mDestinations; // likewise
    std::set<MIDIClientRef> mClients;
    std::map<MIDIPortRef, SPort> mPorts;
    std::map<EOperation, OSStatus> mNextFaults;
    std::uint32_t mSendsUntilFailure = 0; // 0: no failing sends
    OSStatus mSendFailure = noErr;
};
