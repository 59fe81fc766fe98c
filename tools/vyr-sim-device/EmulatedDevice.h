// The VYR device's behaviour, whatever line it speaks on: heartbeats in normal mode,
// silence in update mode, every SysEx message received in update mode recorded with the
// time its first byte came, and the misbehaviours a line can show (staying in normal
// mode, vanishing after the k-th message).
#pragma once

#include "Simulator/Heartbeat.h"
#include "Simulator/TransferReport.h"

#include <chrono>
#include <cstdint>
#include <vector>

struct SEmulatedDeviceOptions {
    std::chrono::milliseconds heartbeatPeriod{200};
    std::uint8_t statusByte = kVYRNormalModeStatus;
    bool staysInNormalMode = false;       // the switch to update mode has no effect
    std::uint32_t vanishAfterMessage = 0; // k > 0: unplugged once, right after the k-th message
};

class CEmulatedDevice {
  public:
    explicit CEmulatedDevice(SEmulatedDeviceOptions inOptions) : mOptions(inOptions) {}

    /// As the user does on the device; false when it stays in normal mode.
    bool switchToUpdateMode();
    bool inUpdateMode() const { return mUpdateMode; }

    /// The heartbeat to send at inNowNs (nanoseconds of the monotonic clock), if one is due.
    std::vector<std::uint8_t> heartbeatDue(std::uint64_t inNowNs);
    /// Bytes as they came at inNowNs, in any pieces. True when the device must vanish now.
    bool receive(const std::vector<std::uint8_t>& inBytes, std::uint64_t inNowNs);
    /// Back on the bus after vanishing, still in update mode: the next transfer starts anew.
    void pluggedInAgain();

    /// The messages of the current transfer, in arrival order.
    const std::vector<SReceivedMessage>& received() const { return mReceived; }
    /// SysEx messages cut short by another status byte.
    std::size_t brokenMessages() const { return mBroken; }

  private:
    const SEmulatedDeviceOptions mOptions;
    bool mUpdateMode = false;
    bool mVanishedOnce = false;
    bool mGone = false; // vanished and not yet back: what comes is not heard
    std::uint64_t mNextHeartbeatNs = 0;
    std::vector<SReceivedMessage> mReceived;
    SReceivedMessage mPartial;
    bool mInSysEx = false;
    std::size_t mBroken = 0;
};
