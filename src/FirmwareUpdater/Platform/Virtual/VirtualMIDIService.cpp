#include "VirtualMIDIService.h"

#include <algorithm>

MIDIDriverEndpoint CVirtualMIDIService::addSource(const std::string& inModel,
                                                  const std::string& inName) {
    SEndpoint endpoint;
    endpoint.isSource = true;
    endpoint.model = inModel;
    endpoint.name = inName;
    return addEndpoint(std::move(endpoint));
}

MIDIDriverEndpoint CVirtualMIDIService::addDestination(const std::string& inModel,
                                                       const std::string& inName,
                                                       Receiver inReceiver) {
    SEndpoint endpoint;
    endpoint.model = inModel;
    endpoint.name = inName;
    endpoint.receiver = std::move(inReceiver);
    return addEndpoint(std::move(endpoint));
}

MIDIDriverEndpoint CVirtualMIDIService::addEndpoint(SEndpoint inEndpoint) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const MIDIDriverEndpoint identity = mNextEndpoint++;
    // A device's source and destination of one model and name are one port, with one
    // address, as a sequencer port is both.
    inEndpoint.port = identity;
    for (auto& [other, endpoint] : mEndpoints) {
        if (endpoint.isSource != inEndpoint.isSource && endpoint.model == inEndpoint.model &&
            endpoint.name == inEndpoint.name && !endpoint.paired) {
            inEndpoint.port = endpoint.port;
            endpoint.paired = inEndpoint.paired = true;
            break;
        }
    }
    (inEndpoint.isSource ? mSources : mDestinations).push_back(identity);
    mEndpoints[identity] = std::move(inEndpoint);
    if (mHost != nullptr) {
        mHost->arrived();
    }
    return identity;
}

bool CVirtualMIDIService::removeEndpoint(MIDIDriverEndpoint inEndpoint) {
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
    if (mHost != nullptr) {
        mHost->removed(inEndpoint);
    }
    return true;
}

void CVirtualMIDIService::setPropertyReadable(MIDIDriverEndpoint inEndpoint, EProperty inProperty,
                                              bool inReadable) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mEndpoints.find(inEndpoint);
    if (found != mEndpoints.end()) {
        (inProperty == EProperty::kModel ? found->second.modelReadable
                                         : found->second.nameReadable) = inReadable;
    }
}

bool CVirtualMIDIService::inject(MIDIDriverEndpoint inSource,
                                 const std::vector<std::vector<std::uint8_t>>& inPackets) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mEndpoints.find(inSource);
    if (mHost == nullptr || found == mEndpoints.end() || !found->second.isSource ||
        std::any_of(inPackets.begin(), inPackets.end(),
                    [](const auto& p) { return p.size() > 0xFFFF; })) {
        return false;
    }
    // The bytes go to the ports connected now; a port connected later never sees them.
    const MIDITimeStamp now = AudioGetCurrentHostTime();
    for (const auto& [ref, port] : mPorts) {
        if (port.sources.count(inSource) != 0) {
            mHost->received(ref, inSource, inPackets, now);
        }
    }
    return true;
}

void CVirtualMIDIService::waitUntilDelivered() {
    CMIDIDriverHost* host = nullptr;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        host = mHost;
    }
    if (host != nullptr) {
        host->waitUntilDelivered();
    }
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

std::uint32_t CVirtualMIDIService::flushCount(MIDIDriverEndpoint inDestination) const {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mEndpoints.find(inDestination);
    return found != mEndpoints.end() ? found->second.flushes : 0;
}

std::size_t CVirtualMIDIService::clientCount() const {
    const std::lock_guard<std::mutex> lock(mMutex);
    return mClients.size();
}

bool CVirtualMIDIService::attach(CMIDIDriverHost& inHost, std::string& /*outWhy*/) {
    const std::lock_guard<std::mutex> lock(mMutex);
    mHost = &inHost;
    return true;
}

void CVirtualMIDIService::detach() {
    const std::lock_guard<std::mutex> lock(mMutex);
    mHost = nullptr;
    mClients.clear();
    mPorts.clear();
}

std::vector<MIDIDriverEndpoint> CVirtualMIDIService::endpoints(bool inSources) {
    const std::lock_guard<std::mutex> lock(mMutex);
    return inSources ? mSources : mDestinations;
}

OSStatus CVirtualMIDIService::property(MIDIDriverEndpoint inEndpoint, EProperty inProperty,
                                       std::string& outValue) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (const OSStatus fault = takeFault(EOperation::kObjectGetStringProperty)) {
        return fault;
    }
    const auto found = mEndpoints.find(inEndpoint);
    if (found == mEndpoints.end()) {
        return kMIDIObjectNotFound;
    }
    const SEndpoint& endpoint = found->second;
    switch (inProperty) {
    case EProperty::kModel:
        outValue = endpoint.model;
        return endpoint.modelReadable ? noErr : kMIDIUnknownProperty;
    case EProperty::kName:
        outValue = endpoint.name;
        return endpoint.nameReadable ? noErr : kMIDIUnknownProperty;
    case EProperty::kAddress:
        outValue = "virtual:" + std::to_string(endpoint.port);
        return noErr;
    }
    return kMIDIUnknownProperty;
}

OSStatus CVirtualMIDIService::openClient(MIDIClientRef inClient, const std::string&) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (const OSStatus fault = takeFault(EOperation::kClientCreate)) {
        return fault;
    }
    mClients.insert(inClient);
    return noErr;
}

void CVirtualMIDIService::closeClient(MIDIClientRef inClient) {
    const std::lock_guard<std::mutex> lock(mMutex);
    mClients.erase(inClient);
}

OSStatus CVirtualMIDIService::openPort(MIDIClientRef, MIDIPortRef inPort, bool inInput) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (const OSStatus fault =
            takeFault(inInput ? EOperation::kInputPortCreate : EOperation::kOutputPortCreate)) {
        return fault;
    }
    mPorts[inPort].input = inInput;
    return noErr;
}

OSStatus CVirtualMIDIService::closePort(MIDIPortRef inPort) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (const OSStatus fault = takeFault(EOperation::kPortDispose)) {
        return fault;
    }
    mPorts.erase(inPort);
    return noErr;
}

OSStatus CVirtualMIDIService::connect(MIDIPortRef inPort, MIDIDriverEndpoint inSource) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (const OSStatus fault = takeFault(EOperation::kPortConnectSource)) {
        return fault;
    }
    const auto port = mPorts.find(inPort);
    if (port == mPorts.end()) {
        return kMIDIInvalidPort;
    }
    if (mEndpoints.count(inSource) == 0) {
        return kMIDIUnknownEndpoint;
    }
    port->second.sources.insert(inSource);
    return noErr;
}

OSStatus CVirtualMIDIService::disconnect(MIDIPortRef inPort, MIDIDriverEndpoint inSource) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (const OSStatus fault = takeFault(EOperation::kPortDisconnectSource)) {
        return fault;
    }
    const auto port = mPorts.find(inPort);
    if (port != mPorts.end()) {
        port->second.sources.erase(inSource);
    }
    return noErr;
}

OSStatus CVirtualMIDIService::send(MIDIPortRef, MIDIDriverEndpoint inDestination,
                                   const MIDIPacketList& inList) {
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
        const auto endpoint = mEndpoints.find(inDestination);
        if (endpoint == mEndpoints.end()) {
            return kMIDIUnknownEndpoint;
        }
        receiver = endpoint->second.receiver;
    }
    if (receiver) {
        receiver(inList, AudioGetCurrentHostTime());
    }
    return noErr;
}

OSStatus CVirtualMIDIService::flush(MIDIDriverEndpoint inDestination) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto endpoint = mEndpoints.find(inDestination);
    if (endpoint == mEndpoints.end()) {
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
