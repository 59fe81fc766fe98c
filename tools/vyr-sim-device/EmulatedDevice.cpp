#include "EmulatedDevice.h"

#include "Simulator/Heartbeat.h"

bool CEmulatedDevice::switchToUpdateMode() {
    mUpdateMode = !mOptions.staysInNormalMode;
    return mUpdateMode;
}

std::vector<std::uint8_t> CEmulatedDevice::heartbeatDue(std::uint64_t inNowNs) {
    if (mUpdateMode || inNowNs < mNextHeartbeatNs) {
        return {};
    }
    mNextHeartbeatNs = inNowNs + static_cast<std::uint64_t>(
                                     std::chrono::nanoseconds(mOptions.heartbeatPeriod).count());
    return VYRHeartbeat(mOptions.statusByte);
}

bool CEmulatedDevice::receive(const std::vector<std::uint8_t>& inBytes, std::uint64_t inNowNs) {
    bool vanish = false;
    for (const std::uint8_t byte : inBytes) {
        if (byte >= 0xF8) {
            continue; // real-time bytes may come between any two
        }
        if (byte >= 0x80 && byte != 0xF7) {
            mBroken += mInSysEx ? 1 : 0;
            mInSysEx = byte == 0xF0;
            mPartial = {inNowNs, {}};
        }
        if (!mInSysEx) {
            continue;
        }
        mPartial.bytes.push_back(byte);
        if (byte == 0xF7) {
            mInSysEx = false;
            if (mUpdateMode && !mGone) {
                mReceived.push_back(std::move(mPartial));
                vanish = !mVanishedOnce && mOptions.vanishAfterMessage != 0 &&
                         mReceived.size() == mOptions.vanishAfterMessage;
                if (vanish) {
                    mGone = mVanishedOnce = true;
                }
            }
        }
    }
    return vanish;
}

void CEmulatedDevice::pluggedInAgain() {
    mReceived.clear();
    mInSysEx = false;
    mGone = false;
}
