// What every MIDI system needs of the service, written once: references of clients, ports
// and endpoints; the checks every call makes; the one thread that calls read and
// notification procedures, in the order things happened; the guarantee that none of a
// port's or client's procedures runs once its dispose returned; removal and arrival told
// to every client. Beneath it, the driver moves the bytes.
//
// Every member may be called from any thread, except that the destructor must not run on
// the delivery thread. Procedures are called with no lock held, so they may call the
// service again.
#pragma once

#include "MIDIDriver.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CMIDIServiceCore final : private CMIDIDriverHost {
  public:
    /// Attaches inDriver; check problem() before use.
    CMIDIServiceCore(std::shared_ptr<CMIDIDriver> inDriver, std::string inEndpointFilter);
    ~CMIDIServiceCore() override;

    CMIDIServiceCore(const CMIDIServiceCore&) = delete;
    CMIDIServiceCore& operator=(const CMIDIServiceCore&) = delete;

    /// Whether the driver started, and why not.
    bool attached() const { return mAttached; }
    const std::string& problem() const { return mProblem; }
    bool hasClients() const;
    std::string takeProblem() { return mDriver->takeProblem(); }

    [[nodiscard]] OSStatus clientCreate(CFStringRef inName, MIDINotifyProc inNotifyProc,
                                        void* inRefCon, MIDIClientRef* outClient);
    [[nodiscard]] OSStatus clientDispose(MIDIClientRef inClient);
    ItemCount numberOfEndpoints(bool inSources);
    MIDIEndpointRef endpoint(bool inSources, ItemCount inIndex);
    [[nodiscard]] OSStatus objectGetStringProperty(MIDIObjectRef inObject, CFStringRef inPropertyID,
                                                   CFStringRef* outString);
    [[nodiscard]] OSStatus portCreate(MIDIClientRef inClient, MIDIReadProc inReadProc,
                                      void* inRefCon, bool inInput, MIDIPortRef* outPort);
    [[nodiscard]] OSStatus portDispose(MIDIPortRef inPort);
    [[nodiscard]] OSStatus portConnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource,
                                             void* inConnRefCon);
    [[nodiscard]] OSStatus portDisconnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource);
    [[nodiscard]] OSStatus send(MIDIPortRef inPort, MIDIEndpointRef inDestination,
                                const MIDIPacketList* inList);
    [[nodiscard]] OSStatus flushOutput(MIDIEndpointRef inDestination);

  private:
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
    struct SEndpoint {
        MIDIDriverEndpoint identity = 0;
        bool isSource = false;
    };

    // CMIDIDriverHost
    void received(MIDIPortRef inPort, MIDIDriverEndpoint inSource,
                  const std::vector<std::vector<std::uint8_t>>& inPackets,
                  MIDITimeStamp inTime) override;
    void removed(MIDIDriverEndpoint inEndpoint) override;
    void arrived() override;
    void waitUntilDelivered() override;

    /// The driver's endpoints that pass the filter, as references. Without the lock.
    std::vector<MIDIEndpointRef> listed(bool inSources);
    /// The reference of a driver's endpoint, made on first sight. With the lock held.
    MIDIEndpointRef refOf(MIDIDriverEndpoint inIdentity, bool inIsSource);
    /// The endpoint behind inRef if it is of the wanted kind. With the lock held.
    [[nodiscard]] bool lookUp(MIDIEndpointRef inRef, bool inIsSource,
                              MIDIDriverEndpoint& outIdentity) const;
    /// Tells every client inMessage on the delivery thread. With the lock held.
    void notifyClients(MIDINotificationMessageID inMessage);
    /// Runs inCall for inObject if inStillWanted, checked under the lock, says so; disposals
    /// of inObject wait until it returns. On the delivery thread.
    void callUnlessGone(MIDIObjectRef inObject, const std::function<void()>& inCall,
                        const std::function<bool()>& inStillWanted);
    /// Waits until inObject is no longer being called, unless on the delivery thread.
    void waitWhileCalling(std::unique_lock<std::mutex>& ioLock, MIDIObjectRef inObject);
    void enqueue(std::function<void()> inTask);
    void run();

    const std::shared_ptr<CMIDIDriver> mDriver;
    const std::string mEndpointFilter;
    bool mAttached = false;
    std::string mProblem;

    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    MIDIObjectRef mNextRef = 1;
    std::map<MIDIClientRef, SClient> mClients;
    std::map<MIDIPortRef, SPort> mPorts;
    std::map<MIDIEndpointRef, SEndpoint> mEndpoints;
    std::map<std::pair<MIDIDriverEndpoint, bool>, MIDIEndpointRef> mRefs;

    std::deque<std::function<void()>> mQueue;
    std::uint64_t mQueued = 0;    // tasks ever queued
    std::uint64_t mDelivered = 0; // tasks ever finished
    MIDIObjectRef mCalling = 0;   // the port or client whose procedure runs now
    bool mStopping = false;
    std::thread mThread; // last: started once everything above exists
};
