// The CoreMIDI calls, forwarded to the installed backend.
#include "MIDIServiceBackend.h"

#include "Clock.h"

#include <mutex>

const CFStringRef kMIDIPropertyModel = CFSTR("model");
const CFStringRef kMIDIPropertyName = CFSTR("name");

namespace {

std::mutex sBackendMutex;
std::shared_ptr<CMIDIServiceBackend> sBackend;

std::shared_ptr<CMIDIServiceBackend> backend() {
    const std::lock_guard<std::mutex> lock(sBackendMutex);
    return sBackend;
}

} // namespace

OSStatus MIDIServiceInstallBackend(std::shared_ptr<CMIDIServiceBackend> inBackend) {
    const std::lock_guard<std::mutex> lock(sBackendMutex);
    if (sBackend != nullptr && sBackend->hasClients()) {
        return kMIDIServerStartErr;
    }
    sBackend = std::move(inBackend);
    return noErr;
}

OSStatus MIDIClientCreate(CFStringRef inName, MIDINotifyProc inNotifyProc, void* inNotifyRefCon,
                          MIDIClientRef* outClient) {
    const auto service = backend();
    return service ? service->clientCreate(inName, inNotifyProc, inNotifyRefCon, outClient)
                   : kMIDIServerStartErr;
}

OSStatus MIDIClientDispose(MIDIClientRef inClient) {
    const auto service = backend();
    return service ? service->clientDispose(inClient) : kMIDIInvalidClient;
}

ItemCount MIDIGetNumberOfSources() {
    const auto service = backend();
    return service ? service->numberOfSources() : 0;
}

MIDIEndpointRef MIDIGetSource(ItemCount inIndex) {
    const auto service = backend();
    return service ? service->source(inIndex) : 0;
}

ItemCount MIDIGetNumberOfDestinations() {
    const auto service = backend();
    return service ? service->numberOfDestinations() : 0;
}

MIDIEndpointRef MIDIGetDestination(ItemCount inIndex) {
    const auto service = backend();
    return service ? service->destination(inIndex) : 0;
}

OSStatus MIDIObjectGetStringProperty(MIDIObjectRef inObject, CFStringRef inPropertyID,
                                     CFStringRef* outString) {
    const auto service = backend();
    return service ? service->objectGetStringProperty(inObject, inPropertyID, outString)
                   : kMIDIObjectNotFound;
}

OSStatus MIDIInputPortCreate(MIDIClientRef inClient, CFStringRef inPortName,
                             MIDIReadProc inReadProc, void* inRefCon, MIDIPortRef* outPort) {
    const auto service = backend();
    return service ? service->inputPortCreate(inClient, inPortName, inReadProc, inRefCon, outPort)
                   : kMIDIInvalidClient;
}

OSStatus MIDIOutputPortCreate(MIDIClientRef inClient, CFStringRef inPortName,
                              MIDIPortRef* outPort) {
    const auto service = backend();
    return service ? service->outputPortCreate(inClient, inPortName, outPort) : kMIDIInvalidClient;
}

OSStatus MIDIPortDispose(MIDIPortRef inPort) {
    const auto service = backend();
    return service ? service->portDispose(inPort) : kMIDIInvalidPort;
}

OSStatus MIDIPortConnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource, void* inConnRefCon) {
    const auto service = backend();
    return service ? service->portConnectSource(inPort, inSource, inConnRefCon) : kMIDIInvalidPort;
}

OSStatus MIDIPortDisconnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource) {
    const auto service = backend();
    return service ? service->portDisconnectSource(inPort, inSource) : kMIDIInvalidPort;
}

OSStatus MIDISend(MIDIPortRef inPort, MIDIEndpointRef inDestination, const MIDIPacketList* inList) {
    const auto service = backend();
    return service ? service->send(inPort, inDestination, inList) : kMIDIInvalidPort;
}

OSStatus MIDIFlushOutput(MIDIEndpointRef inDestination) {
    const auto service = backend();
    return service ? service->flushOutput(inDestination) : kMIDIUnknownEndpoint;
}

MIDITimeStamp AudioGetCurrentHostTime() {
    return CurrentClock().now();
}
