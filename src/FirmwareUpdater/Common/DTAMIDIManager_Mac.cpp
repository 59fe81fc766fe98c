#include "Common/DTAMIDIManager_Mac.h"

#include "Common/CriticalRegionGuard.h"
#include "Common/DTAMIDIManager_MacPrivate.h"
#include "Common/DebugUtil.h"

#include <cstddef>

namespace {

constexpr const char* kSourceName = "DTAMIDIManager_Mac";

void releaseIfAny(CFStringRef inString) {
    if (inString != nullptr) {
        CFRelease(inString);
    }
}

std::uint32_t endpointCount(bool inSources) {
    return static_cast<std::uint32_t>(inSources ? MIDIGetNumberOfSources()
                                                : MIDIGetNumberOfDestinations());
}

MIDIEndpointRef endpointAt(bool inSources, std::uint32_t inIndex) {
    return inSources ? MIDIGetSource(inIndex) : MIDIGetDestination(inIndex);
}

} // namespace

CDTAMIDIManager* CDTAMIDIManager::s_instance = nullptr;

OSStatus CDTAMIDIManager::initialize(DTAMIDINotifyProc inNotifyProc, void* inContext) {
    terminate();
    s_instance = new CDTAMIDIManager(inNotifyProc, inContext);
    return noErr;
}

void CDTAMIDIManager::terminate() {
    delete s_instance;
    s_instance = nullptr;
}

CDTAMIDIManager::CDTAMIDIManager(DTAMIDINotifyProc inNotifyProc, void* inContext)
    : mPrivate(std::make_unique<SPrivateMember>()) {
    if (MIDIClientCreate(CFSTR("VYR Editor"), inNotifyProc, inContext, &mPrivate->client) !=
        noErr) {
        DTA_LOCATED_DIAGNOSTIC("MIDIClientCreate returned error.", kSourceName);
    }
    if (MPCreateCriticalRegion(&mPrivate->region) != noErr) {
        DTA_LOCATED_DIAGNOSTIC("MPCreateCriticalRegion returned error.", kSourceName);
    }
}

CDTAMIDIManager::~CDTAMIDIManager() {
    closeMidiIn();
    closeMidiOut();
    (void)MIDIClientDispose(mPrivate->client);
    mPrivate->client = 0;
    (void)MPDeleteCriticalRegion(mPrivate->region);
    mPrivate->region = nullptr;
}

void CDTAMIDIManager::getMidiInDevices(std::vector<std::string>& ioNames,
                                       std::vector<std::uint32_t>* outIndices) {
    listEndpoints(true, ioNames, outIndices);
}

void CDTAMIDIManager::getMidiOutDevices(std::vector<std::string>& ioNames,
                                        std::vector<std::uint32_t>* outIndices) {
    listEndpoints(false, ioNames, outIndices);
}

void CDTAMIDIManager::listEndpoints(bool inSources, std::vector<std::string>& ioNames,
                                    std::vector<std::uint32_t>* outIndices) const {
    const std::uint32_t count = endpointCount(inSources);
    for (std::uint32_t index = 0; index < count; ++index) {
        CFStringRef model = nullptr;
        if (MIDIObjectGetStringProperty(endpointAt(inSources, index), kMIDIPropertyModel, &model) !=
            noErr) {
            continue;
        }
        CFStringRef copy = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@"), model);
        std::string name;
        getStringFromCFString(copy, name, CFStringGetSystemEncoding());
        releaseIfAny(model);
        releaseIfAny(copy);
        ioNames.push_back(name);
        if (outIndices != nullptr) {
            outIndices->push_back(index);
        }
    }
}

OSStatus CDTAMIDIManager::openMidiIn(std::uint32_t inIndex, DTAMIDIInputCallback inCallback,
                                     void* inContext, std::int32_t inCapacity) {
    closeMidiIn();
    {
        mstd::CCriticalRegionGuard guard(mPrivate->region);
        mInputContext = inContext;
        mInputCallback = inCallback;
        if (inCapacity > 0) {
            mPrivate->sysExBuffer.reserve(static_cast<std::size_t>(inCapacity));
        }
    }
    const OSStatus created = MIDIInputPortCreate(mPrivate->client, CFSTR("MIDI INPUT"), procMidiIn,
                                                 this, &mPrivate->inputPort);
    if (created != noErr) {
        return created;
    }
    mPrivate->source = MIDIGetSource(inIndex);
    return MIDIPortConnectSource(mPrivate->inputPort, mPrivate->source, this);
}

OSStatus CDTAMIDIManager::openMidiOut(std::uint32_t inIndex) {
    closeMidiOut();
    const OSStatus created =
        MIDIOutputPortCreate(mPrivate->client, CFSTR("MIDI OUTPUT"), &mPrivate->outputPort);
    mPrivate->destination = MIDIGetDestination(inIndex);
    return created;
}

OSStatus CDTAMIDIManager::closeMidiIn() {
    mInputStarted = false;
    {
        // The read procedure calls the callback only inside the region: once this block is
        // done, no call is under way and none will start.
        mstd::CCriticalRegionGuard guard(mPrivate->region);
        mInputCallback = nullptr;
        mInputContext = nullptr;
    }
    OSStatus status = noErr;
    if (mPrivate->source != 0) {
        status = MIDIPortDisconnectSource(mPrivate->inputPort, mPrivate->source);
        if (status == kMIDINoConnection) {
            // The connection went with its endpoint: the device was unplugged, which the
            // user hears of from the workflow.
            DTA_LOGGED_DIAGNOSTIC("MIDIPortDisconnectSource returned error.", kSourceName);
        } else if (status != noErr) {
            DTA_LOCATED_DIAGNOSTIC("MIDIPortDisconnectSource returned error.", kSourceName);
        }
        mPrivate->source = 0;
    }
    if (mPrivate->inputPort != 0) {
        status = MIDIPortDispose(mPrivate->inputPort);
        mPrivate->inputPort = 0;
    }
    return status;
}

OSStatus CDTAMIDIManager::closeMidiOut() {
    if (mPrivate->destination != 0) {
        (void)MIDIFlushOutput(mPrivate->destination);
    }
    mOutputStarted = false;
    mPrivate->destination = 0;
    OSStatus status = noErr;
    if (mPrivate->outputPort != 0) {
        status = MIDIPortDispose(mPrivate->outputPort);
        mPrivate->outputPort = 0;
    }
    return status;
}

OSStatus CDTAMIDIManager::startMidiIn() {
    mInputStarted = true;
    return noErr;
}

OSStatus CDTAMIDIManager::startMidiOut() {
    mOutputStarted = true;
    return noErr;
}

OSStatus CDTAMIDIManager::stopMidiIn() {
    mInputStarted = false;
    return noErr;
}

OSStatus CDTAMIDIManager::stopMidiOut() {
    if (mPrivate->destination != 0) {
        (void)MIDIFlushOutput(mPrivate->destination);
    }
    mOutputStarted = false;
    return noErr;
}

MIDIEndpointRef CDTAMIDIManager::openedDestination() const {
    return mPrivate->destination;
}

bool CDTAMIDIManager::isOpenedMidiIn() const {
    return mPrivate->inputPort != 0;
}

bool CDTAMIDIManager::isOpenedMidiOut() const {
    return mPrivate->outputPort != 0;
}

void CDTAMIDIManager::healthCheck() {
    if (mPrivate->source != 0 && !isStillListed(mPrivate->source, true)) {
        closeMidiIn();
    }
    if (mPrivate->destination != 0 && !isStillListed(mPrivate->destination, false)) {
        closeMidiOut();
    }
}

bool CDTAMIDIManager::isStillListed(MIDIEndpointRef inEndpoint, bool inSource) const {
    CFStringRef name = nullptr;
    // An endpoint whose name cannot be read any more (it was removed) is not listed.
    if (MIDIObjectGetStringProperty(inEndpoint, kMIDIPropertyName, &name) != noErr ||
        name == nullptr) {
        return false;
    }
    bool found = false;
    const std::uint32_t count = endpointCount(inSource);
    for (std::uint32_t index = 0; index < count && !found; ++index) {
        CFStringRef other = nullptr;
        if (MIDIObjectGetStringProperty(endpointAt(inSource, index), kMIDIPropertyName, &other) ==
            noErr) {
            found = other != nullptr && CFStringCompare(name, other, 0) == kCFCompareEqualTo;
            releaseIfAny(other);
        }
    }
    CFRelease(name);
    return found;
}

void getStringFromCFString(CFStringRef inString, std::string& outResult,
                           CFStringEncoding inEncoding) {
    outResult.clear();
    if (inString == nullptr) {
        return;
    }
    const CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(inString), inEncoding);
    if (size < 0) {
        return;
    }
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1);
    if (CFStringGetCString(inString, buffer.data(), static_cast<CFIndex>(buffer.size()),
                           inEncoding)) {
        outResult = buffer.data();
    }
}
