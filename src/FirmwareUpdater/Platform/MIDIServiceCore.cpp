#include "MIDIServiceCore.h"

#include <algorithm>
#include <cstddef>

namespace {

// A packet list laid out in memory of its own, as the delivery thread hands it over.
std::vector<std::uint8_t> buildPacketList(const std::vector<std::vector<std::uint8_t>>& inPackets,
                                          MIDITimeStamp inTime) {
    std::size_t size = offsetof(MIDIPacketList, packet);
    for (const auto& packet : inPackets) {
        size += (offsetof(MIDIPacket, data) + packet.size() + 3) & ~std::size_t{3};
    }
    std::vector<std::uint8_t> storage(std::max(size, sizeof(MIDIPacketList)));
    auto* list = reinterpret_cast<MIDIPacketList*>(storage.data());
    MIDIPacket* current = MIDIPacketListInit(list);
    for (const auto& packet : inPackets) {
        current =
            MIDIPacketListAdd(list, storage.size(), current, inTime, packet.size(), packet.data());
    }
    return storage;
}

bool sameProperty(CFStringRef inA, CFStringRef inB) {
    return inA != nullptr && CFStringCompare(inA, inB, 0) == kCFCompareEqualTo;
}

std::string textOf(CFStringRef inString) {
    if (inString == nullptr) {
        return {};
    }
    const CFIndex size =
        CFStringGetMaximumSizeForEncoding(CFStringGetLength(inString), kCFStringEncodingUTF8);
    std::vector<char> buffer(static_cast<std::size_t>(std::max<CFIndex>(size, 0)) + 1);
    CFStringGetCString(inString, buffer.data(), static_cast<CFIndex>(buffer.size()),
                       kCFStringEncodingUTF8);
    return buffer.data();
}

} // namespace

CMIDIServiceCore::CMIDIServiceCore(std::shared_ptr<CMIDIDriver> inDriver,
                                   std::string inEndpointFilter)
    : mDriver(std::move(inDriver)), mEndpointFilter(std::move(inEndpointFilter)),
      mThread([this] { run(); }) {
    mAttached = mDriver->attach(*this, mProblem);
}

CMIDIServiceCore::~CMIDIServiceCore() {
    if (mAttached) {
        mDriver->detach();
    }
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mStopping = true;
    }
    mChanged.notify_all();
    mThread.join();
}

bool CMIDIServiceCore::hasClients() const {
    const std::lock_guard<std::mutex> lock(mMutex);
    return !mClients.empty();
}

OSStatus CMIDIServiceCore::clientCreate(CFStringRef inName, MIDINotifyProc inNotifyProc,
                                        void* inRefCon, MIDIClientRef* outClient) {
    if (outClient == nullptr) {
        return paramErr;
    }
    MIDIClientRef client = 0;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        client = mNextRef++;
    }
    if (const OSStatus status = mDriver->openClient(client, textOf(inName))) {
        return status;
    }
    const std::lock_guard<std::mutex> lock(mMutex);
    mClients[client] = {inNotifyProc, inRefCon};
    *outClient = client;
    return noErr;
}

OSStatus CMIDIServiceCore::clientDispose(MIDIClientRef inClient) {
    std::vector<MIDIPortRef> ports;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        if (mClients.count(inClient) == 0) {
            return kMIDIInvalidClient;
        }
        for (const auto& [ref, port] : mPorts) {
            if (port.client == inClient) {
                ports.push_back(ref);
            }
        }
    }
    for (const MIDIPortRef port : ports) {
        (void)mDriver->closePort(port); // the client goes all the same
    }
    mDriver->closeClient(inClient);
    std::unique_lock<std::mutex> lock(mMutex);
    mClients.erase(inClient);
    for (const MIDIPortRef port : ports) {
        mPorts.erase(port);
    }
    waitWhileCalling(lock, inClient);
    for (const MIDIPortRef port : ports) {
        waitWhileCalling(lock, port);
    }
    return noErr;
}

std::vector<MIDIEndpointRef> CMIDIServiceCore::listed(bool inSources) {
    std::vector<MIDIDriverEndpoint> identities = mDriver->endpoints(inSources);
    if (!mEndpointFilter.empty()) {
        const auto passes = [&](MIDIDriverEndpoint inIdentity) {
            for (const auto property :
                 {CMIDIDriver::EProperty::kName, CMIDIDriver::EProperty::kAddress}) {
                std::string value;
                if (mDriver->property(inIdentity, property, value) == noErr &&
                    value.find(mEndpointFilter) != std::string::npos) {
                    return true;
                }
            }
            return false;
        };
        identities.erase(std::remove_if(identities.begin(), identities.end(),
                                        [&](auto inIdentity) { return !passes(inIdentity); }),
                         identities.end());
    }
    const std::lock_guard<std::mutex> lock(mMutex);
    std::vector<MIDIEndpointRef> refs;
    refs.reserve(identities.size());
    for (const MIDIDriverEndpoint identity : identities) {
        refs.push_back(refOf(identity, inSources));
    }
    return refs;
}

ItemCount CMIDIServiceCore::numberOfEndpoints(bool inSources) {
    return listed(inSources).size();
}

MIDIEndpointRef CMIDIServiceCore::endpoint(bool inSources, ItemCount inIndex) {
    const std::vector<MIDIEndpointRef> refs = listed(inSources);
    return inIndex < refs.size() ? refs[inIndex] : 0;
}

OSStatus CMIDIServiceCore::objectGetStringProperty(MIDIObjectRef inObject, CFStringRef inPropertyID,
                                                   CFStringRef* outString) {
    if (outString == nullptr) {
        return paramErr;
    }
    *outString = nullptr;
    MIDIDriverEndpoint identity = 0;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        const auto found = mEndpoints.find(inObject);
        if (found == mEndpoints.end()) {
            return kMIDIObjectNotFound;
        }
        identity = found->second.identity;
    }
    CMIDIDriver::EProperty property{};
    if (sameProperty(inPropertyID, kMIDIPropertyModel)) {
        property = CMIDIDriver::EProperty::kModel;
    } else if (sameProperty(inPropertyID, kMIDIPropertyName)) {
        property = CMIDIDriver::EProperty::kName;
    } else if (sameProperty(inPropertyID, kMIDIPropertyAddress)) {
        property = CMIDIDriver::EProperty::kAddress;
    } else {
        return kMIDIUnknownProperty;
    }
    std::string value;
    if (const OSStatus status = mDriver->property(identity, property, value)) {
        return status;
    }
    *outString = CFStringCreateWithCString(nullptr, value.c_str(), kCFStringEncodingUTF8);
    return *outString != nullptr ? noErr : kMIDIUnknownProperty;
}

OSStatus CMIDIServiceCore::portCreate(MIDIClientRef inClient, MIDIReadProc inReadProc,
                                      void* inRefCon, bool inInput, MIDIPortRef* outPort) {
    MIDIPortRef port = 0;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        if (mClients.count(inClient) == 0) {
            return kMIDIInvalidClient;
        }
        if (outPort == nullptr || (inInput && inReadProc == nullptr)) {
            return paramErr;
        }
        port = mNextRef++;
    }
    if (const OSStatus status = mDriver->openPort(inClient, port, inInput)) {
        return status;
    }
    const std::lock_guard<std::mutex> lock(mMutex);
    mPorts[port] = {inClient, inInput ? inReadProc : nullptr, inRefCon, {}};
    *outPort = port;
    return noErr;
}

OSStatus CMIDIServiceCore::portDispose(MIDIPortRef inPort) {
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        if (mPorts.count(inPort) == 0) {
            return kMIDIInvalidPort;
        }
    }
    if (const OSStatus status = mDriver->closePort(inPort)) {
        return status;
    }
    std::unique_lock<std::mutex> lock(mMutex);
    mPorts.erase(inPort);
    waitWhileCalling(lock, inPort);
    return noErr;
}

OSStatus CMIDIServiceCore::portConnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource,
                                             void* inConnRefCon) {
    MIDIDriverEndpoint identity = 0;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        const auto port = mPorts.find(inPort);
        if (port == mPorts.end() || port->second.readProc == nullptr) {
            return kMIDIInvalidPort;
        }
        if (!lookUp(inSource, true, identity)) {
            return kMIDIUnknownEndpoint;
        }
    }
    if (const OSStatus status = mDriver->connect(inPort, identity)) {
        return status;
    }
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto port = mPorts.find(inPort);
    if (port == mPorts.end() || mEndpoints.count(inSource) == 0) {
        return kMIDIUnknownEndpoint; // disposed or removed meanwhile
    }
    port->second.sources[inSource] = inConnRefCon;
    return noErr;
}

OSStatus CMIDIServiceCore::portDisconnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource) {
    MIDIDriverEndpoint identity = 0;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        const auto port = mPorts.find(inPort);
        if (port == mPorts.end()) {
            return kMIDIInvalidPort;
        }
        if (port->second.sources.count(inSource) == 0 || !lookUp(inSource, true, identity)) {
            return kMIDINoConnection;
        }
    }
    if (const OSStatus status = mDriver->disconnect(inPort, identity)) {
        return status;
    }
    std::unique_lock<std::mutex> lock(mMutex);
    const auto port = mPorts.find(inPort);
    if (port != mPorts.end()) {
        port->second.sources.erase(inSource);
    }
    waitWhileCalling(lock, inPort);
    return noErr;
}

OSStatus CMIDIServiceCore::send(MIDIPortRef inPort, MIDIEndpointRef inDestination,
                                const MIDIPacketList* inList) {
    MIDIDriverEndpoint identity = 0;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        const auto port = mPorts.find(inPort);
        if (port == mPorts.end() || port->second.readProc != nullptr) {
            return kMIDIInvalidPort;
        }
        if (!lookUp(inDestination, false, identity)) {
            return kMIDIUnknownEndpoint;
        }
    }
    if (inList == nullptr) {
        return paramErr;
    }
    return mDriver->send(inPort, identity, *inList);
}

OSStatus CMIDIServiceCore::flushOutput(MIDIEndpointRef inDestination) {
    MIDIDriverEndpoint identity = 0;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        if (!lookUp(inDestination, false, identity)) {
            return kMIDIUnknownEndpoint;
        }
    }
    return mDriver->flush(identity);
}

void CMIDIServiceCore::received(MIDIPortRef inPort, MIDIDriverEndpoint inSource,
                                const std::vector<std::vector<std::uint8_t>>& inPackets,
                                MIDITimeStamp inTime) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto ref = mRefs.find({inSource, true});
    if (ref == mRefs.end()) {
        return; // never listed, so nobody can be connected to it
    }
    auto list = std::make_shared<std::vector<std::uint8_t>>(buildPacketList(inPackets, inTime));
    enqueue([this, list, portRef = inPort, sourceRef = ref->second] {
        MIDIReadProc proc = nullptr;
        void* refCon = nullptr;
        void* connRefCon = nullptr;
        callUnlessGone(
            portRef,
            [&] {
                proc(reinterpret_cast<const MIDIPacketList*>(list->data()), refCon, connRefCon);
            },
            [&] {
                const auto port = mPorts.find(portRef);
                if (port == mPorts.end() || port->second.sources.count(sourceRef) == 0) {
                    return false; // disposed or disconnected since the list was queued
                }
                proc = port->second.readProc;
                refCon = port->second.refCon;
                connRefCon = port->second.sources.at(sourceRef);
                return true;
            });
    });
}

void CMIDIServiceCore::removed(MIDIDriverEndpoint inEndpoint) {
    const std::lock_guard<std::mutex> lock(mMutex);
    for (const bool isSource : {true, false}) {
        const auto ref = mRefs.find({inEndpoint, isSource});
        if (ref == mRefs.end()) {
            continue;
        }
        for (auto& [portRef, port] : mPorts) {
            port.sources.erase(ref->second);
        }
        mEndpoints.erase(ref->second);
        mRefs.erase(ref);
    }
    notifyClients(kMIDIMsgObjectRemoved);
}

void CMIDIServiceCore::arrived() {
    const std::lock_guard<std::mutex> lock(mMutex);
    notifyClients(kMIDIMsgObjectAdded);
}

void CMIDIServiceCore::waitUntilDelivered() {
    std::unique_lock<std::mutex> lock(mMutex);
    const std::uint64_t target = mQueued;
    mChanged.wait(lock, [&] { return mDelivered >= target; });
}

MIDIEndpointRef CMIDIServiceCore::refOf(MIDIDriverEndpoint inIdentity, bool inIsSource) {
    const auto [found, inserted] = mRefs.try_emplace({inIdentity, inIsSource}, 0);
    if (inserted) {
        found->second = mNextRef++;
        mEndpoints[found->second] = {inIdentity, inIsSource};
    }
    return found->second;
}

bool CMIDIServiceCore::lookUp(MIDIEndpointRef inRef, bool inIsSource,
                              MIDIDriverEndpoint& outIdentity) const {
    const auto found = mEndpoints.find(inRef);
    if (found == mEndpoints.end() || found->second.isSource != inIsSource) {
        return false;
    }
    outIdentity = found->second.identity;
    return true;
}

void CMIDIServiceCore::notifyClients(MIDINotificationMessageID inMessage) {
    for (const auto& entry : mClients) {
        enqueue([this, inMessage, clientRef = entry.first] {
            const MIDINotification notification = {inMessage, sizeof(MIDINotification)};
            MIDINotifyProc proc = nullptr;
            void* refCon = nullptr;
            callUnlessGone(
                clientRef, [&] { proc(&notification, refCon); },
                [&] {
                    const auto client = mClients.find(clientRef);
                    if (client == mClients.end() || client->second.notifyProc == nullptr) {
                        return false;
                    }
                    proc = client->second.notifyProc;
                    refCon = client->second.refCon;
                    return true;
                });
        });
    }
}

void CMIDIServiceCore::callUnlessGone(MIDIObjectRef inObject, const std::function<void()>& inCall,
                                      const std::function<bool()>& inStillWanted) {
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        if (!inStillWanted()) {
            return;
        }
        mCalling = inObject;
    }
    try {
        inCall();
    } catch (...) {
        // A procedure's exception ends its own delivery, not the service.
    }
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mCalling = 0;
    }
    mChanged.notify_all();
}

void CMIDIServiceCore::waitWhileCalling(std::unique_lock<std::mutex>& ioLock,
                                        MIDIObjectRef inObject) {
    if (std::this_thread::get_id() != mThread.get_id()) {
        mChanged.wait(ioLock, [&] { return mCalling != inObject; });
    }
}

void CMIDIServiceCore::enqueue(std::function<void()> inTask) {
    mQueue.push_back(std::move(inTask));
    ++mQueued;
    mChanged.notify_all();
}

void CMIDIServiceCore::run() {
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        mChanged.wait(lock, [&] { return mStopping || !mQueue.empty(); });
        if (mQueue.empty()) {
            return; // stopping, with nothing left to deliver
        }
        std::function<void()> task = std::move(mQueue.front());
        mQueue.pop_front();
        lock.unlock();
        task();
        lock.lock();
        ++mDelivered;
        mChanged.notify_all();
    }
}
