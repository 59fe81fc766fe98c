#include "Common/VYRController.h"

#include "Common/CriticalRegionGuard.h"
#include "Common/DTAMIDIManager_Mac.h"
#include "Common/DebugUtil.h"
#include "Common/GenericException.h"

#include <string>

namespace {

constexpr const char* kSourceName = "VYRController";
constexpr std::int32_t kErrorNotConnected = 1000;
constexpr std::int32_t kErrorNotInUpdateMode = 1002;
constexpr Nanoseconds kNanosecondsPerSecond = 1'000'000'000u;

EventLoopTimerUPP sTimerUPP = nullptr;

// A port the service refused: the device cannot be reached (error 1000, with its status).
void throwUnlessOpened(OSStatus inStatus) {
    if (inStatus != noErr) {
        throw mstd::CGenericException(kErrorNotConnected, inStatus, "");
    }
}

} // namespace

std::atomic<CVYRController*> CVYRController::s_instance{nullptr};

void CVYRController::initialize() {
    if (s_instance != nullptr) {
        return;
    }
    CDTAMIDIManager::initialize(MIDINotifyProc, nullptr);
    s_instance = new CVYRController;
}

CVYRController* CVYRController::instance() {
    if (s_instance == nullptr) {
        initialize();
    }
    return s_instance;
}

void CVYRController::terminate() {
    CVYRController* controller = s_instance.exchange(nullptr);
    if (controller == nullptr) {
        return;
    }
    delete controller;
    CDTAMIDIManager::terminate();
}

CVYRController::CVYRController() {
    if (sTimerUPP == nullptr) {
        sTimerUPP = NewEventLoopTimerUPP(procTimer);
    }
    if (InstallEventLoopTimer(GetMainEventLoop(), kTimerInterval, kTimerInterval, sTimerUPP, this,
                              &mTimer) != noErr) {
        DTA_LOCATED_DIAGNOSTIC("InstallEventLoopTimer returned error.", kSourceName);
    }
    if (MPCreateCriticalRegion(&mRegion) != noErr) {
        DTA_LOCATED_DIAGNOSTIC("MPCreateCriticalRegion returned error.", kSourceName);
    }
}

CVYRController::~CVYRController() {
    closeVYR();
    if (mTimer != nullptr) {
        (void)RemoveEventLoopTimer(mTimer);
        mTimer = nullptr;
    }
    (void)MPDeleteCriticalRegion(mRegion);
    mRegion = nullptr;
}

bool CVYRController::isFamilyModel(const std::string& inModel) {
    return inModel.find("VYR5") != std::string::npos || inModel.find("VYR10") != std::string::npos;
}

bool CVYRController::pickDevice(const std::vector<std::string>& inSourceModels,
                                const std::vector<std::string>& inDestinationModels,
                                std::size_t& outSource, std::size_t& outDestination) {
    for (std::size_t s = 0; s < inSourceModels.size(); ++s) {
        if (!isFamilyModel(inSourceModels[s])) {
            continue;
        }
        for (std::size_t d = 0; d < inDestinationModels.size(); ++d) {
            if (inDestinationModels[d] == inSourceModels[s]) {
                outSource = s;
                outDestination = d;
                return true;
            }
        }
    }
    return false;
}

bool CVYRController::findVYR(std::uint32_t& outSourceIndex, std::uint32_t& outDestinationIndex) {
    CDTAMIDIManager* manager = CDTAMIDIManager::instance();
    std::vector<std::string> sources;
    std::vector<std::uint32_t> sourceIndices;
    manager->getMidiInDevices(sources, &sourceIndices);
    std::vector<std::string> destinations;
    std::vector<std::uint32_t> destinationIndices;
    manager->getMidiOutDevices(destinations, &destinationIndices);
    std::size_t source = 0;
    std::size_t destination = 0;
    if (!pickDevice(sources, destinations, source, destination)) {
        return false;
    }
    // The service's indices, not list positions: an endpoint with an unreadable model
    // before the device is not in the lists but is counted by the service.
    outSourceIndex = sourceIndices[source];
    outDestinationIndex = destinationIndices[destination];
    return true;
}

bool CVYRController::openVYR() {
    closeVYR();
    std::uint32_t source = 0;
    std::uint32_t destination = 0;
    if (!findVYR(source, destination)) {
        return false;
    }
    openMidiIn(static_cast<std::int32_t>(source));
    openMidiOut(static_cast<std::int32_t>(destination));
    return true;
}

void CVYRController::closeVYR() {
    if (CDTAMIDIManager* manager = CDTAMIDIManager::instance()) {
        manager->closeMidiIn();
        manager->closeMidiOut();
    }
    mLastHeartbeatTime = 0;
}

void CVYRController::openMidiIn(std::int32_t inIndex) {
    CDTAMIDIManager* manager = CDTAMIDIManager::instance();
    throwUnlessOpened(
        manager->openMidiIn(static_cast<std::uint32_t>(inIndex), procMIDIIn, this, kSysExCapacity));
    throwUnlessOpened(manager->startMidiIn());
}

void CVYRController::openMidiOut(std::int32_t inIndex) {
    CDTAMIDIManager* manager = CDTAMIDIManager::instance();
    throwUnlessOpened(manager->openMidiOut(static_cast<std::uint32_t>(inIndex)));
    throwUnlessOpened(manager->startMidiOut());
}

void CVYRController::openVYRForUpdate() {
    if (!openVYR()) {
        throw mstd::CGenericException(kErrorNotConnected, 0, "");
    }
    // openVYR cleared the heartbeat: only one that arrives during this second counts.
    CClock& clock = CurrentClock();
    clock.waitUntil(clock.now() + kNanosecondsPerSecond);
    if (mLastHeartbeatTime.load() != 0) {
        closeVYR();
        throw mstd::CGenericException(kErrorNotInUpdateMode, 0, "");
    }
    // A device that left during this second is silent too, but not there to update (one
    // that restarts to switch modes is back soon: the caller tries again).
    CDTAMIDIManager* manager = CDTAMIDIManager::instance();
    manager->healthCheck();
    if (!manager->isOpenedMidiIn() || !manager->isOpenedMidiOut()) {
        closeVYR();
        throw mstd::CGenericException(kErrorNotConnected, 0, "");
    }
}

void CVYRController::healthCheck() {
    CDTAMIDIManager* manager = CDTAMIDIManager::instance();
    manager->healthCheck();
    if (!manager->isOpenedMidiIn()) {
        mLastHeartbeatTime = 0;
        notifyDTAEvent(kDTAEventDisconnected, 0, 0);
    }
}

void CVYRController::addListenerCallback(DTAListenerCallback inCallback, void* inUserData) {
    const std::lock_guard<std::mutex> lock(mListenersMutex);
    mListeners.emplace_back(inCallback, inUserData);
}

void CVYRController::removeListenerCallback(DTAListenerCallback inCallback) {
    const std::lock_guard<std::mutex> lock(mListenersMutex);
    for (auto listener = mListeners.begin(); listener != mListeners.end(); ++listener) {
        if (listener->first == inCallback) {
            mListeners.erase(listener);
            return;
        }
    }
}

void CVYRController::notifyDTAEvent(EDTAEventID inEvent, std::int32_t inParam1,
                                    std::int32_t inParam2) {
    if (s_instance == nullptr) {
        return;
    }
    std::vector<std::pair<DTAListenerCallback, void*>> listeners;
    {
        const std::lock_guard<std::mutex> lock(mListenersMutex);
        listeners = mListeners;
    }
    for (const auto& [callback, userData] : listeners) {
        callback(userData, inEvent, inParam1, inParam2);
    }
}

void CVYRController::notifyDTAEventAsync(EDTAEventID inEvent, std::int32_t inParam1,
                                         std::int32_t inParam2) {
    if (s_instance == nullptr) {
        return;
    }
    mstd::CCriticalRegionGuard guard(mRegion);
    mEventQueue.push({inEvent, inParam1, inParam2});
}

bool CVYRController::popQueuedEvent(DTAEvent& outEvent) {
    mstd::CCriticalRegionGuard guard(mRegion);
    if (mEventQueue.empty()) {
        return false;
    }
    outEvent = mEventQueue.front();
    mEventQueue.pop();
    return true;
}

void CVYRController::doTimerFunc() {
    // One event at a time leaves the queue under the region and reaches the listeners
    // outside it, so the input thread never waits for a listener; an event a listener
    // posts is still delivered in this tick.
    DTAEvent event{};
    while (popQueuedEvent(event)) {
        notifyDTAEvent(event.identifier, event.param1, event.param2);
    }
    const Nanoseconds last = mLastHeartbeatTime.load();
    if (last != 0) {
        // Counted in whole seconds, as a seconds clock would.
        const Nanoseconds now = CurrentClock().now();
        if (now / kNanosecondsPerSecond - last / kNanosecondsPerSecond >= kHeartbeatTimeout) {
            mHeartbeatStatus = 0;
            mLastHeartbeatTime = 0;
            notifyDTAEvent(kDTAEventDisconnected, 0, 0);
        }
    } else {
        notifyDTAEvent(kDTAEventNoHeartbeat, 0, 0);
    }
}

void CVYRController::handleMIDIIn(const std::uint8_t* inData, std::uint32_t inLength) {
    if (inLength >= 9 && inData[0] == 0xF0 && inData[1] == 0x43 && inData[2] == 0x7D &&
        (inData[3] & 0xF0) == 0x60) {
        receiveHeartbeatMessage(inData, inLength);
    }
}

bool CVYRController::receiveHeartbeatMessage(const std::uint8_t* inData, std::uint32_t inLength) {
    if (inLength < 9 || inData[4] != 0x44 || inData[5] != 0x54 || inData[6] != 0x41 ||
        inData[7] == 0) {
        return false;
    }
    const std::uint8_t status = inData[7];
    const std::uint8_t recorded = mHeartbeatStatus.load();
    if (recorded != 0 && recorded != status) {
        mHeartbeatStatus = 0;
        mLastHeartbeatTime = 0;
        notifyDTAEventAsync(kDTAEventDisconnected, 0, 0);
    }
    if (status != 0x30 && status != 0x31) {
        return true;
    }
    const bool wasOnRecord = mLastHeartbeatTime.load() != 0;
    mLastHeartbeatTime = CurrentClock().now();
    if (!wasOnRecord) {
        mHeartbeatStatus = status;
        notifyDTAEventAsync(kDTAEventConnected, status, 0);
    }
    return true;
}

void CVYRController::procMIDIIn(void* inContext, const std::uint8_t* inData,
                                std::uint32_t inLength) {
    try {
        static_cast<CVYRController*>(inContext)->handleMIDIIn(inData, inLength);
    } catch (...) {
        mstd::plainDiagnostic("Exception caught!");
    }
}

void CVYRController::procTimer(EventLoopTimerRef, void* inUserData) {
    try {
        static_cast<CVYRController*>(inUserData)->doTimerFunc();
    } catch (...) {
        mstd::plainDiagnostic("Exception caught!");
    }
}

void CVYRController::MIDINotifyProc(const MIDINotification* inMessage, void* inContext) {
    try {
        if (inMessage == nullptr || inMessage->messageID != kMIDIMsgObjectRemoved) {
            return;
        }
        mstd::plainDiagnostic("A MIDI Device removed!");
        if (inContext != nullptr) {
            static_cast<CVYRController*>(inContext)->healthCheck();
        }
    } catch (...) {
        mstd::plainDiagnostic("Exception caught!");
    }
}
