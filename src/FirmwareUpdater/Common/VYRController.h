// The one object that owns the connection to the device: it finds the device's endpoints
// by model, watches its heartbeat, turns what it sees into listener events delivered on a
// 0.05-second timer of the main event loop, opens the device for the update, and plays the
// firmware (updateFirmware). A process-wide singleton; its creation creates the MIDI
// manager and its destruction destroys it.
//
// Threads: initialize, terminate and the timer ticks run on the main thread;
// openVYRForUpdate and updateFirmware too, or on one other thread while the main thread
// waits without turning the main event loop; openVYR and checkHeartbeat may run on one other thread
// while the main thread waits in a modal loop; the heartbeat is handled on the MIDI service's input
// thread, which only updates atomics and queues events, so it never waits for a listener. Listeners
// run on the thread that turns the main event loop, without any lock held.
#pragma once

#include "Platform/Clock.h"
#include "Platform/CoreMIDI.h"
#include "Platform/EventLoop.h"
#include "Platform/Multiprocessing.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <queue>
#include <string>
#include <utility>
#include <vector>

enum EDTAEventID : std::int32_t {
    kDTAEventConnected = 1, // param1: the heartbeat status byte
    kDTAEventDisconnected = 2,
    kDTAEventNoHeartbeat = 3,
};

using DTAListenerCallback = void (*)(void* inUserData, EDTAEventID inEvent, std::int32_t inParam1,
                                     std::int32_t inParam2);
/// Receives the playback's progress in percent; the result is not looked at.
using DTAProgressCallback = bool (*)(int inPercent, void* inContext);

class CVYRController {
  public:
    static constexpr std::uint32_t kSysExCapacity = 512;
    static constexpr EventTimerInterval kTimerInterval = 0.05;
    static constexpr Nanoseconds kHeartbeatTimeout = 3; // whole seconds of silence: lost

    /// Creates the MIDI manager and the controller, unless a controller exists.
    static void initialize();
    /// The controller, created first if there is none.
    static CVYRController* instance();
    /// Destroys the controller, then the MIDI manager; nothing if there is no controller.
    static void terminate();

    ~CVYRController();
    CVYRController(const CVYRController&) = delete;
    CVYRController& operator=(const CVYRController&) = delete;

    /// True for a model of the VYR family: it contains "VYR5" or "VYR10".
    static bool isFamilyModel(const std::string& inModel);
    /// Which source and destination openVYR opens, given the models listed in the service's
    /// order: the first source of the family and the first destination with exactly its
    /// model. False when there is no such pair.
    static bool pickDevice(const std::vector<std::string>& inSourceModels,
                           const std::vector<std::string>& inDestinationModels,
                           std::size_t& outSource, std::size_t& outDestination);

    /// The service indices of the pair pickDevice chooses among the endpoints listed now;
    /// false when there is none. Needs the manager (initialize()).
    static bool findVYR(std::uint32_t& outSourceIndex, std::uint32_t& outDestinationIndex);
    /// Closes any connection, then opens the pair pickDevice chooses. True when both
    /// opened; throws mstd::CGenericException (1000) when the service refuses a port.
    bool openVYR();
    /// Closes both sides; no heartbeat is on record afterwards (silently: no event).
    void closeVYR();
    /// Opens and starts one side at a service index; throws mstd::CGenericException (1000).
    void openMidiIn(std::int32_t inIndex);
    void openMidiOut(std::int32_t inIndex);
    /// Opens the device and checks for one second that it sends no heartbeat. Throws
    /// mstd::CGenericException with 1000 (no device, or a port refused) or 1002 (it sent a
    /// heartbeat: not in update mode; both sides are closed then).
    void openVYRForUpdate();
    /// True from the first heartbeat after opening until it is lost or the device closed.
    bool checkHeartbeat() const { return mLastHeartbeatTime.load() != 0; }
    /// Closes a side whose endpoint is gone; a closed input loses the heartbeat at once.
    void healthCheck();

    /// Plays every SysEx event of the firmware image at its time; uses none of the
    /// controller's state. False when the image is refused or a send fails; the first failed
    /// send ends playback.
    bool updateFirmware(const std::uint8_t* inData, std::uint32_t inSize,
                        DTAProgressCallback inProgress, void* inContext);
    /// What the last playback of this process sent, kept after the controller is gone.
    struct STransferTally {
        std::uint32_t messages = 0;  // SysEx messages the service took
        std::uint64_t bytes = 0;     // their bytes
        std::uint32_t scheduled = 0; // messages in the image
        Nanoseconds started = 0;     // on CurrentClock(); 0: no playback yet
        Nanoseconds ended = 0;
    };
    static STransferTally lastTransfer();

    /// Appends a registration; the same callback may be registered several times.
    void addListenerCallback(DTAListenerCallback inCallback, void* inUserData);
    /// Removes the first registration of inCallback, whatever its user data.
    void removeListenerCallback(DTAListenerCallback inCallback);
    /// Calls every listener now, in registration order, on the calling thread.
    void notifyDTAEvent(EDTAEventID inEvent, std::int32_t inParam1, std::int32_t inParam2);
    /// Queues an event for the next timer tick.
    void notifyDTAEventAsync(EDTAEventID inEvent, std::int32_t inParam1, std::int32_t inParam2);

    /// One tick: delivers the queued events, then watches for the heartbeat's loss.
    void doTimerFunc();
    /// Handles one complete incoming SysEx message.
    void handleMIDIIn(const std::uint8_t* inData, std::uint32_t inLength);
    /// Records a heartbeat; false when the message is none.
    bool receiveHeartbeatMessage(const std::uint8_t* inData, std::uint32_t inLength);

    // The procedures handed to the platform. Each catches every exception and writes
    // "Exception caught!".
    static void procMIDIIn(void* inContext, const std::uint8_t* inData, std::uint32_t inLength);
    static void procTimer(EventLoopTimerRef inTimer, void* inUserData);
    static void MIDINotifyProc(const MIDINotification* inMessage, void* inContext);

  private:
    struct DTAEvent {
        EDTAEventID identifier;
        std::int32_t param1;
        std::int32_t param2;
    };

    CVYRController();
    /// Takes the oldest queued event, if any, under the critical region.
    bool popQueuedEvent(DTAEvent& outEvent);

    static std::atomic<CVYRController*> s_instance;

    std::mutex mListenersMutex; // held only to copy or change the list, never during a call
    std::vector<std::pair<DTAListenerCallback, void*>> mListeners;
    std::atomic<Nanoseconds> mLastHeartbeatTime{0}; // on CurrentClock(); 0: none on record
    std::atomic<std::uint8_t> mHeartbeatStatus{0};
    EventLoopTimerRef mTimer = nullptr;
    MPCriticalRegionID mRegion = nullptr;
    std::queue<DTAEvent> mEventQueue; // guarded by mRegion
};
