// An in-process MIDI service: the backend behind --simulate and behind every transport test.
//
// Devices (the simulated VYR device, tests) create sources and destinations, inject bytes on
// a source and receive what is sent to a destination; clients of the service see the same
// endpoints through CoreMIDI.h. Sources and destinations are listed in the order they were
// added. Injected packet lists and removal notices are delivered on the service's own
// thread, one at a time, in the order they were queued. Sends are handed to the
// destination's receiver on the sending thread, before MIDISend returns.
//
// Every member may be called from any thread, except that the destructor must not run on
// the service thread. Receivers and procedures are called with no lock of the service held,
// so they may call the service again.
#pragma once

#include "Platform/MIDIServiceBackend.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CVirtualMIDIService final : public CMIDIServiceBackend {
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
    enum class EProperty { kModel, kName };

    CVirtualMIDIService();
    ~CVirtualMIDIService() override;

    CVirtualMIDIService(const CVirtualMIDIService&) = delete;
    CVirtualMIDIService& operator=(const CVirtualMIDIService&) = delete;

    // Endpoints.
    MIDIEndpointRef addSource(const std::string& inModel, const std::string& inName);
    MIDIEndpointRef addDestination(const std::string& inModel, const std::string& inName,
                                   Receiver inReceiver = {});
    /// Removes a source or destination: connections to it end, sends to it fail, and every
    /// client's notification procedure receives kMIDIMsgObjectRemoved on the service thread.
    /// Returns false for an unknown endpoint.
    bool removeEndpoint(MIDIEndpointRef inEndpoint);
    /// An unreadable property makes MIDIObjectGetStringProperty fail with kMIDIUnknownProperty.
    void setPropertyReadable(MIDIEndpointRef inEndpoint, EProperty inProperty, bool inReadable);

    // Traffic.
    /// Queues one packet list with one packet per element of inPackets (each at most 65535
    /// bytes) for every input port connected to inSource now and still connected when it is
    /// delivered. Returns false, queuing nothing, for an unknown source or an oversized packet.
    bool inject(MIDIEndpointRef inSource, const std::vector<std::vector<std::uint8_t>>& inPackets);
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
    std::uint32_t flushCount(MIDIEndpointRef inDestination) const;

    // CMIDIServiceBackend
    bool hasClients() const override;
    OSStatus clientCreate(CFStringRef inName, MIDINotifyProc inNotifyProc, void* inRefCon,
                          MIDIClientRef* outClient) override;
    OSStatus clientDispose(MIDIClientRef inClient) override;
    ItemCount numberOfSources() override;
    MIDIEndpointRef source(ItemCount inIndex) override;
    ItemCount numberOfDestinations() override;
    MIDIEndpointRef destination(ItemCount inIndex) override;
    OSStatus objectGetStringProperty(MIDIObjectRef inObject, CFStringRef inPropertyID,
                                     CFStringRef* outString) override;
    OSStatus inputPortCreate(MIDIClientRef inClient, CFStringRef inName, MIDIReadProc inReadProc,
                             void* inRefCon, MIDIPortRef* outPort) override;
    OSStatus outputPortCreate(MIDIClientRef inClient, CFStringRef inName,
                              MIDIPortRef* outPort) override;
    OSStatus portDispose(MIDIPortRef inPort) override;
    OSStatus portConnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource,
                               void* inConnRefCon) override;
    OSStatus portDisconnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource) override;
    OSStatus send(MIDIPortRef inPort, MIDIEndpointRef inDestination,
                  const MIDIPacketList* inList) override;
    OSStatus flushOutput(MIDIEndpointRef inDestination) override;

  private:
    struct SEndpoint {
        bool isSource = false;
        std::string model;
        std::string name;
        bool modelReadable = true;
        bool nameReadable = true;
        Receiver receiver;
        std::uint32_t flushes = 0;
    };
    struct SClient {
        MIDINotifyProc notifyProc = nullptr;
        void* refCon = nullptr;
    };
    struct SPort {
        MIDIClientRef client = 0;
        MIDIReadProc readProc = nullptr; // null for an output port
        void* refCon = nullptr;
        std::map<MIDIEndpointRef, void*> sources; // connected sources and their contexts
    };

    MIDIObjectRef newRef() { return mNextRef++; }
    /// An input port (with a read procedure) or an output port (without).
    OSStatus createPort(EOperation inOperation, MIDIClientRef inClient, MIDIReadProc inReadProc,
                        void* inRefCon, MIDIPortRef* outPort);
    /// Takes a pending fault of inOperation, if any. Called with the lock held.
    OSStatus takeFault(EOperation inOperation);
    MIDIEndpointRef endpointAt(bool inSources, ItemCount inIndex) const;
    /// Runs inCall for inObject if inStillWanted, checked under the lock, says so; disposals
    /// of inObject wait until it returns. On the service thread.
    void callUnlessGone(MIDIObjectRef inObject, const std::function<void()>& inCall,
                        const std::function<bool()>& inStillWanted);
    /// Waits until inObject is no longer being called, unless on the service thread.
    void waitWhileCalling(std::unique_lock<std::mutex>& ioLock, MIDIObjectRef inObject);
    void enqueue(std::function<void()> inTask);
    void run();

    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    MIDIObjectRef mNextRef = 1;
    std::map<MIDIEndpointRef, SEndpoint> mEndpoints;
    std::vector<MIDIEndpointRef> mSources;      // in the order they were added
    std::vector<MIDIEndpointRef> mDestinations; // likewise
    std::map<MIDIClientRef, SClient> mClients;
    std::map<MIDIPortRef, SPort> mPorts;
    std::map<EOperation, OSStatus> mNextFaults;
    std::uint32_t mSendsUntilFailure = 0; // 0: no failing sends
    OSStatus mSendFailure = noErr;

    std::deque<std::function<void()>> mQueue;
    std::uint64_t mQueued = 0;    // tasks ever queued
    std::uint64_t mDelivered = 0; // tasks ever finished
    MIDIObjectRef mCalling = 0;   // the port or client whose procedure runs now
    bool mStopping = false;
    std::thread mThread; // last: started once everything above exists
};
