// The VYR device's behaviour, whatever medium it speaks on (the virtual MIDI service, a
// USB-MIDI gadget, a sequencer client): heartbeats in normal mode, silence in update mode,
// every SysEx message received in update mode recorded with the time its first byte came,
// and its misbehaviours (staying in normal mode, vanishing after the k-th message). Not
// thread-safe: the medium serialises its calls.
#pragma once

#include "Heartbeat.h"
#include "TransferReport.h"

#include <chrono>
#include <cstdint>
#include <vector>

struct SVYRDeviceBehaviour {
    std::chrono::milliseconds heartbeatPeriod{200}; // 0 on the virtual service: on request only
    std::uint8_t statusByte = kVYRNormalModeStatus;
    bool staysInNormalMode = false;       // the switch to update mode has no effect
    std::uint32_t vanishAfterMessage = 0; // k > 0: unplugged once, right after the k-th message
};

class CVYRDeviceModel {
  public:
    explicit CVYRDeviceModel(SVYRDeviceBehaviour inBehaviour) : mOptions(inBehaviour) {}

    /// As the user does on the device; false when it stays in normal mode.
    bool switchToUpdateMode();
    bool inUpdateMode() const { return mUpdateMode; }

    /// The heartbeat, in normal mode and on the bus; none otherwise.
    std::vector<std::uint8_t> heartbeat() const;
    /// The heartbeat to send at inNowNs (nanoseconds of the monotonic clock), if one is due.
    std::vector<std::uint8_t> heartbeatDue(std::uint64_t inNowNs);
    /// Bytes as they came at inNow, in any pieces. True when the device must vanish now.
    bool receive(const std::vector<std::uint8_t>& inBytes, std::uint64_t inNow);
    /// False from vanishing until plugged in again.
    bool onTheBus() const { return !mGone; }
    /// Back on the bus after vanishing, still in update mode: the next transfer starts anew.
    void pluggedInAgain();

    /// The messages of the current transfer, in arrival order.
    const std::vector<SReceivedMessage>& received() const { return mReceived; }
    /// SysEx messages cut short by another status byte.
    std::size_t brokenMessages() const { return mBroken; }

  private:
    const SVYRDeviceBehaviour mOptions;
    bool mUpdateMode = false;
    bool mVanishedOnce = false;
    bool mGone = false; // vanished and not yet back: what comes is not heard
    std::uint64_t mNextHeartbeatNs = 0;
    std::vector<SReceivedMessage> mReceived;
    SReceivedMessage mPartial;
    bool mInSysEx = false;
    std::size_t mBroken = 0;
};
