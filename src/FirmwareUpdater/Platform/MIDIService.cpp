// The CoreMIDI calls, forwarded to the installed service.
#include "MIDIService.h"

#include "Clock.h"
#include "MIDIServiceCore.h"

#include <mutex>

const CFStringRef kMIDIPropertyModel = CFSTR("model");
const CFStringRef kMIDIPropertyName = CFSTR("name");
const CFStringRef kMIDIPropertyAddress = CFSTR("address");

namespace {

std::mutex sServiceMutex;
std::shared_ptr<CMIDIServiceCore> sService;

std::shared_ptr<CMIDIServiceCore> service() {
    const std::lock_guard<std::mutex> lock(sServiceMutex);
    return sService;
}

} // namespace

OSStatus MIDIServiceInstallDriver(std::shared_ptr<CMIDIDriver> inDriver,
                                  const std::string& inEndpointFilter, std::string* outProblem) {
    std::unique_lock<std::mutex> lock(sServiceMutex);
    if (sService != nullptr && sService->hasClients()) {
        return kMIDIServerStartErr;
    }
    // The old service ends (joining its thread) outside the lock: its last procedures may
    // still call in.
    std::shared_ptr<CMIDIServiceCore> old = std::move(sService);
    lock.unlock();
    old.reset();
    if (inDriver == nullptr) {
        return noErr;
    }
    auto fresh = std::make_shared<CMIDIServiceCore>(std::move(inDriver), inEndpointFilter);
    if (!fresh->attached()) {
        if (outProblem != nullptr) {
            *outProblem = fresh->problem();
        }
        return kMIDIServerStartErr;
    }
    lock.lock();
    sService = std::move(fresh);
    return noErr;
}

std::string MIDIServiceTakeProblem() {
    const auto current = service();
    return current ? current->takeProblem() : std::string();
}

OSStatus MIDIClientCreate(CFStringRef inName, MIDINotifyProc inNotifyProc, void* inNotifyRefCon,
                          MIDIClientRef* outClient) {
    const auto current = service();
    return current ? current->clientCreate(inName, inNotifyProc, inNotifyRefCon, outClient)
                   : kMIDIServerStartErr;
}

OSStatus MIDIClientDispose(MIDIClientRef inClient) {
    const auto current = service();
    return current ? current->clientDispose(inClient) : kMIDIInvalidClient;
}

ItemCount MIDIGetNumberOfSources() {
    const auto current = service();
    return current ? current->numberOfEndpoints(true) : 0;
}

MIDIEndpointRef MIDIGetSource(ItemCount inIndex) {
    const auto current = service();
    return current ? current->endpoint(true, inIndex) : 0;
}

ItemCount MIDIGetNumberOfDestinations() {
    const auto current = service();
    return current ? current->numberOfEndpoints(false) : 0;
}

MIDIEndpointRef MIDIGetDestination(ItemCount inIndex) {
    const auto current = service();
    return current ? current->endpoint(false, inIndex) : 0;
}

OSStatus MIDIObjectGetStringProperty(MIDIObjectRef inObject, CFStringRef inPropertyID,
                                     CFStringRef* outString) {
    const auto current = service();
    return current ? current->objectGetStringProperty(inObject, inPropertyID, outString)
                   : kMIDIObjectNotFound;
}

OSStatus MIDIInputPortCreate(MIDIClientRef inClient, CFStringRef, MIDIReadProc inReadProc,
                             void* inRefCon, MIDIPortRef* outPort) {
    const auto current = service();
    return current ? current->portCreate(inClient, inReadProc, inRefCon, true, outPort)
                   : kMIDIInvalidClient;
}

OSStatus MIDIOutputPortCreate(MIDIClientRef inClient, CFStringRef, MIDIPortRef* outPort) {
    const auto current = service();
    return current ? current->portCreate(inClient, nullptr, nullptr, false, outPort)
                   : kMIDIInvalidClient;
}

OSStatus MIDIPortDispose(MIDIPortRef inPort) {
    const auto current = service();
    return current ? current->portDispose(inPort) : kMIDIInvalidPort;
}

OSStatus MIDIPortConnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource, void* inConnRefCon) {
    const auto current = service();
    return current ? current->portConnectSource(inPort, inSource, inConnRefCon) : kMIDIInvalidPort;
}

OSStatus MIDIPortDisconnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource) {
    const auto current = service();
    return current ? current->portDisconnectSource(inPort, inSource) : kMIDIInvalidPort;
}

OSStatus MIDISend(MIDIPortRef inPort, MIDIEndpointRef inDestination, const MIDIPacketList* inList) {
    const auto current = service();
    return current ? current->send(inPort, inDestination, inList) : kMIDIInvalidPort;
}

OSStatus MIDIFlushOutput(MIDIEndpointRef inDestination) {
    const auto current = service();
    return current ? current->flushOutput(inDestination) : kMIDIUnknownEndpoint;
}

MIDITimeStamp AudioGetCurrentHostTime() {
    return CurrentClock().now();
}
