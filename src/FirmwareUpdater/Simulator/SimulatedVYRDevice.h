// A VYR device on the virtual MIDI service: a source and a destination with the family's
// model, behaving as CVYRDeviceModel says (heartbeats every period in normal mode, silent and
// recording in update mode, its misbehaviours), and the faults only this medium can show:
// refused sends, a service that throws, a line that changes a byte. So every failure path of the
// updater can be seen without hardware. Any thread may call it.
#pragma once

#include "Platform/Virtual/VirtualMIDIService.h"
#include "TransferReport.h"
#include "VYRDeviceModel.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SSimulatedDeviceOptions {
    std::string model = "VYR10";
    std::string name = "VYR10 Port 1";
    SVYRDeviceBehaviour behaviour = {}; // a heartbeat period of 0: only on sendHeartbeat()
    std::uint32_t refuseSendsFrom = 0;  // k > 0: the k-th send in update mode and all later fail
    std::uint32_t serviceFaultAt = 0; // k > 0: the k-th send throws, as a broken MIDI service might
    std::uint32_t garbleAt = 0;       // k > 0: the k-th message arrives with a data byte changed
};

class CSimulatedVYRDevice {
  public:
    /// Plugs the device in (its endpoints appear) in normal mode.
    CSimulatedVYRDevice(std::shared_ptr<CVirtualMIDIService> inService,
                        SSimulatedDeviceOptions inOptions = {});
    /// Unplugs it.
    ~CSimulatedVYRDevice();

    CSimulatedVYRDevice(const CSimulatedVYRDevice&) = delete;
    CSimulatedVYRDevice& operator=(const CSimulatedVYRDevice&) = delete;

    /// As the user does on the device: from now on silent (unless it stays in normal mode;
    /// no heartbeat is queued after this returns) and recording what it receives.
    void switchToUpdateMode();
    /// One heartbeat now, as the device would send it (none in update mode or once gone).
    void sendHeartbeat();
    /// False once it has vanished.
    bool isPresent() const;

    /// The messages received in update mode, one per packet list sent, in arrival order.
    std::vector<SReceivedMessage> received() const;
    STransferReport report(const std::vector<SExpectedMessage>& inExpected) const {
        return compareTransfer(inExpected, received());
    }

  private:
    void receive(const MIDIPacketList& inList, MIDITimeStamp inHostTime);
    void sendHeartbeats();
    /// With mMutex held.
    void injectHeartbeat();
    void unplug();

    const std::shared_ptr<CVirtualMIDIService> mService;
    const SSimulatedDeviceOptions mOptions;
    MIDIEndpointRef mSource = 0;
    MIDIEndpointRef mDestination = 0;

    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    CVYRDeviceModel mModel;
    bool mPresent = true; // its endpoints exist
    bool mStopping = false;
    std::thread mHeartbeat; // last: started once everything above exists
};
