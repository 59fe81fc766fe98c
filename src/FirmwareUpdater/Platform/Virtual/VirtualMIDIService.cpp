#include "VirtualMIDIService.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// A packet list laid out in memory of its own, as a service thread hands it over.
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

} // namespace

CVirtualMIDIService::CVirtualMIDIService() : mThread([this] { run(); }) {}

CVirtualMIDIService::~CVirtualMIDIService() {
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mStopping = true;
    }
    mChanged.notify_all();
    mThread.join();
}

MIDIEndpointRef CVirtualMIDIService::addSource(const std::string& inModel,
                                               const std::string& inName) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const MIDIEndpointRef ref = newRef();
    SEndpoint& endpoint = mEndpoints[ref];
    endpoint.isSource = true;
    endpoint.model = inModel;
    endpoint.name = inName;
    mSources.push_back(ref);
    return ref;
}

MIDIEndpointRef CVirtualMIDIService::addDestination(const std::string& inModel,
                                                    const std::string& inName,
                                                    Receiver inReceiver) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const MIDIEndpointRef ref = newRef();
    SEndpoint& endpoint = mEndpoints[ref];
    endpoint.model = inModel;
    endpoint.name = inName;
    endpoint.receiver = std::move(inReceiver);
    mDestinations.push_back(ref);
    return ref;
}

bool CVirtualMIDIService::removeEndpoint(MIDIEndpointRef inEndpoint) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mEndpoints.find(inEndpoint);
    if (found == mEndpoints.end()) {
        return false;
    }
    auto& list = found->second.isSource ? mSources : mDestinations;
    list.erase(std::find(list.begin(), list.end(), inEndpoint));
    mEndpoints.erase(found);
    for (auto& [ref, port] : mPorts) {
        port.sources.erase(inEndpoint);
    }
    for (const auto& entry : mClients) {
        enqueue([this, clientRef = entry.first] {
            static const MIDINotification kRemoved = {kMIDIMsgObjectRemoved,
                                                      sizeof(MIDINotification)};
            MIDINotifyProc proc = nullptr;
            void* refCon = nullptr;
            callUnlessGone(
                clientRef, [&] { proc(&kRemoved, refCon); },
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
    return true;
}

void CVirtualMIDIService::setPropertyReadable(MIDIEndpointRef inEndpoint, EProperty inProperty,
                                              bool inReadable) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mEndpoints.find(inEndpoint);
    if (found != mEndpoints.end()) {
        (inProperty == EProperty::kModel ? found->second.modelReadable
                                         : found->second.nameReadable) = inReadable;
    }
}

bool CVirtualMIDIService::inject(MIDIEndpointRef inSource,
                                 const std::vector<std::vector<std::uint8_t>>& inPackets) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mEndpoints.find(inSource);
    if (found == mEndpoints.end() || !found->second.isSource ||
        std::any_of(inPackets.begin(), inPackets.end(),
                    [](const auto& p) { return p.size() > 0xFFFF; })) {
        return false;
    }
    auto list = std::make_shared<std::vector<std::uint8_t>>(
        buildPacketList(inPackets, AudioGetCurrentHostTime()));
    // The bytes go to the ports connected now; a port connected later never sees them.
    std::vector<MIDIPortRef> ports;
    for (const auto& [ref, port] : mPorts) {
        if (port.sources.count(inSource) != 0) {
            ports.push_back(ref);
        }
    }
    enqueue([this, list, inSource, ports] {
        const auto* packets = reinterpret_cast<const MIDIPacketList*>(list->data());
        for (const MIDIPortRef portRef : ports) {
            MIDIReadProc proc = nullptr;
            void* refCon = nullptr;
            void* connRefCon = nullptr;
            callUnlessGone(
                portRef, [&] { proc(packets, refCon, connRefCon); },
                [&] {
                    const auto port = mPorts.find(portRef);
                    if (port == mPorts.end() || port->second.sources.count(inSource) == 0) {
                        return false; // disposed or disconnected since the list was queued
                    }
                    proc = port->second.readProc;
                    refCon = port->second.refCon;
                    connRefCon = port->second.sources.at(inSource);
                    return true;
                });
        }
    });
    return true;
}

void CVirtualMIDIService::waitUntilDelivered() {
    std::unique_lock<std::mutex> lock(mMutex);
    const std::uint64_t target = mQueued;
    mChanged.wait(lock, [&] { return mDelivered >= target; });
}

void CVirtualMIDIService::failNext(EOperation inOperation, OSStatus inStatus) {
    const std::lock_guard<std::mutex> lock(mMutex);
    mNextFaults[inOperation] = inStatus;
}

void CVirtualMIDIService::failSendsFrom(std::uint32_t inSendNumber, OSStatus inStatus) {
    const std::lock_guard<std::mutex> lock(mMutex);
    mSendsUntilFailure = std::max<std::uint32_t>(inSendNumber, 1);
    mSendFailure = inStatus;
}

void CVirtualMIDIService::clearFaults() {
    const std::lock_guard<std::mutex> lock(mMutex);
    mNextFaults.clear();
    mSendsUntilFailure = 0;
    mSendFailure = noErr;
}

std::size_t CVirtualMIDIService::portCount() const {
    const std::lock_guard<std::mutex> lock(mMutex);
    return mPorts.size();
}

std::size_t CVirtualMIDIService::connectionCount() const {
    const std::lock_guard<std::mutex> lock(mMutex);
    std::size_t count = 0;
    for (const auto& [ref, port] : mPorts) {
        count += port.sources.size();
    }
    return count;
}

std::uint32_t CVirtualMIDIService::flushCount(MIDIEndpointRef inDestination) const {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mEndpoints.find(inDestination);
    return found != mEndpoints.end() ? found->second.flushes : 0;
}

bool CVirtualMIDIService::hasClients() const {
    const std::lock_guard<std::mutex> lock(mMutex);
    return !mClients.empty();
}

OSStatus CVirtualMIDIService::clientCreate(CFStringRef, MIDINotifyProc inNotifyProc, void* inRefCon,
                                           MIDIClientRef* outClient) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (const OSStatus fault = takeFault(EOperation::kClientCreate)) {
        return fault;
    }
    if (outClient == nullptr) {
        return paramErr;
    }
    *outClient = newRef();
    mClients[*outClient] = {inNotifyProc, inRefCon};
    return noErr;
}

OSStatus CVirtualMIDIService::clientDispose(MIDIClientRef inClient) {
    std::unique_lock<std::mutex> lock(mMutex);
    if (mClients.erase(inClient) == 0) {
        return kMIDIInvalidClient;
    }
    std::vector<MIDIPortRef> ports;
    for (auto port = mPorts.begin(); port != mPorts.end();) {
        if (port->second.client == inClient) {
            ports.push_back(port->first);
            port = mPorts.erase(port);
        } else {
            ++port;
        }
    }
    waitWhileCalling(lock, inClient);
    for (const MIDIPortRef port : ports) {
        waitWhileCalling(lock, port);
    }
    return noErr;
}

ItemCount CVirtualMIDIService::numberOfSources() {
    const std::lock_guard<std::mutex> lock(mMutex);
    return mSources.size();
}

MIDIEndpointRef CVirtualMIDIService::source(ItemCount inIndex) {
    return endpointAt(true, inIndex);
}

ItemCount CVirtualMIDIService::numberOfDestinations() {
    const std::lock_guard<std::mutex> lock(mMutex);
    return mDestinations.size();
}

MIDIEndpointRef CVirtualMIDIService::destination(ItemCount inIndex) {
    return endpointAt(false, inIndex);
}

OSStatus CVirtualMIDIService::objectGetStringProperty(MIDIObjectRef inObject,
                                                      CFStringRef inPropertyID,
                                                      CFStringRef* outString) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (const OSStatus fault = takeFault(EOperation::kObjectGetStringProperty)) {
        return fault;
    }
    if (outString == nullptr) {
        return paramErr;
    }
    const auto found = mEndpoints.find(inObject);
    if (found == mEndpoints.end()) {
        return kMIDIObjectNotFound;
    }
    const SEndpoint& endpoint = found->second;
    const std::string* text = nullptr;
    if (sameProperty(inPropertyID, kMIDIPropertyModel) && endpoint.modelReadable) {
        text = &endpoint.model;
    } else if (sameProperty(inPropertyID, kMIDIPropertyName) && endpoint.nameReadable) {
        text = &endpoint.name;
    }
    *outString = text != nullptr
                     ? CFStringCreateWithCString(nullptr, text->c_str(), kCFStringEncodingUTF8)
                     : nullptr;
    return *outString != nullptr ? noErr : kMIDIUnknownProperty;
}

OSStatus CVirtualMIDIService::inputPortCreate(MIDIClientRef inClient, CFStringRef,
                                              MIDIReadProc inReadProc, void* inRefCon,
                                              MIDIPortRef* outPort) {
    return createPort(EOperation::kInputPortCreate, inClient, inReadProc, inRefCon, outPort);
}

OSStatus CVirtualMIDIService::outputPortCreate(MIDIClientRef inClient, CFStringRef,
                                               MIDIPortRef* outPort) {
    return createPort(EOperation::kOutputPortCreate, inClient, nullptr, nullptr, outPort);
}

OSStatus CVirtualMIDIService::createPort(EOperation inOperation, MIDIClientRef inClient,
                                         MIDIReadProc inReadProc, void* inRefCon,
                                         MIDIPortRef* outPort) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (const OSStatus fault = takeFault(inOperation)) {
        return fault;
    }
    if (mClients.count(inClient) == 0) {
        return kMIDIInvalidClient;
    }
    const bool input = inOperation == EOperation::kInputPortCreate;
    if (outPort == nullptr || (input && inReadProc == nullptr)) {
        return paramErr;
    }
    *outPort = newRef();
    mPorts[*outPort] = {inClient, inReadProc, inRefCon, {}};
    return noErr;
}

OSStatus CVirtualMIDIService::portDispose(MIDIPortRef inPort) {
    std::unique_lock<std::mutex> lock(mMutex);
    if (const OSStatus fault = takeFault(EOperation::kPortDispose)) {
        return fault;
    }
    if (mPorts.erase(inPort) == 0) {
        return kMIDIInvalidPort;
    }
    waitWhileCalling(lock, inPort);
    return noErr;
}

OSStatus CVirtualMIDIService::portConnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource,
                                                void* inConnRefCon) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (const OSStatus fault = takeFault(EOperation::kPortConnectSource)) {
        return fault;
    }
    const auto port = mPorts.find(inPort);
    if (port == mPorts.end() || port->second.readProc == nullptr) {
        return kMIDIInvalidPort;
    }
    const auto endpoint = mEndpoints.find(inSource);
    if (endpoint == mEndpoints.end() || !endpoint->second.isSource) {
        return kMIDIUnknownEndpoint;
    }
    port->second.sources[inSource] = inConnRefCon;
    return noErr;
}

OSStatus CVirtualMIDIService::portDisconnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource) {
    std::unique_lock<std::mutex> lock(mMutex);
    if (const OSStatus fault = takeFault(EOperation::kPortDisconnectSource)) {
        return fault;
    }
    const auto port = mPorts.find(inPort);
    if (port == mPorts.end()) {
        return kMIDIInvalidPort;
    }
    if (port->second.sources.erase(inSource) == 0) {
        return kMIDINoConnection;
    }
    waitWhileCalling(lock, inPort);
    return noErr;
}

OSStatus CVirtualMIDIService::send(MIDIPortRef inPort, MIDIEndpointRef inDestination,
                                   const MIDIPacketList* inList) {
    Receiver receiver;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        if (const OSStatus fault = takeFault(EOperation::kSend)) {
            return fault;
        }
        if (mSendsUntilFailure != 0) {
            if (mSendsUntilFailure == 1) {
                return mSendFailure; // and every send after it
            }
            --mSendsUntilFailure;
        }
        const auto port = mPorts.find(inPort);
        if (port == mPorts.end() || port->second.readProc != nullptr) {
            return kMIDIInvalidPort;
        }
        const auto endpoint = mEndpoints.find(inDestination);
        if (endpoint == mEndpoints.end() || endpoint->second.isSource) {
            return kMIDIUnknownEndpoint;
        }
        if (inList == nullptr) {
            return paramErr;
        }
        receiver = endpoint->second.receiver;
    }
    if (receiver) {
        receiver(*inList, AudioGetCurrentHostTime());
    }
    return noErr;
}

OSStatus CVirtualMIDIService::flushOutput(MIDIEndpointRef inDestination) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto endpoint = mEndpoints.find(inDestination);
    if (endpoint == mEndpoints.end() || endpoint->second.isSource) {
        return kMIDIUnknownEndpoint;
    }
    ++endpoint->second.flushes;
    return noErr;
}

OSStatus CVirtualMIDIService::takeFault(EOperation inOperation) {
    const auto fault = mNextFaults.find(inOperation);
    if (fault == mNextFaults.end()) {
        return noErr;
    }
    const OSStatus status = fault->second;
    mNextFaults.erase(fault);
    return status;
}

MIDIEndpointRef CVirtualMIDIService::endpointAt(bool inSources, ItemCount inIndex) const {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto& list = inSources ? mSources : mDestinations;
    return inIndex < list.size() ? list[inIndex] : 0;
}

void CVirtualMIDIService::callUnlessGone(MIDIObjectRef inObject,
                                         const std::function<void()>& inCall,
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

void CVirtualMIDIService::waitWhileCalling(std::unique_lock<std::mutex>& ioLock,
                                           MIDIObjectRef inObject) {
    if (std::this_thread::get_id() != mThread.get_id()) {
        mChanged.wait(ioLock, [&] { return mCalling != inObject; });
    }
}

void CVirtualMIDIService::enqueue(std::function<void()> inTask) {
    mQueue.push_back(std::move(inTask));
    ++mQueued;
    mChanged.notify_all();
}

void CVirtualMIDIService::run() {
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
