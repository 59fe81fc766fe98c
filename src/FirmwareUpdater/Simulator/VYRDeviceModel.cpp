#include "VYRDeviceModel.h"

bool CVYRDeviceModel::switchToUpdateMode() {
    mUpdateMode = !mOptions.staysInNormalMode;
    return mUpdateMode;
}

std::vector<std::uint8_t> CVYRDeviceModel::heartbeat() const {
    return mUpdateMode || mGone ? std::vector<std::uint8_t>() : VYRHeartbeat(mOptions.statusByte);
}

std::vector<std::uint8_t> CVYRDeviceModel::heartbeatDue(std::uint64_t inNowNs) {
    if (inNowNs < mNextHeartbeatNs) {
        return {};
    }
    mNextHeartbeatNs = inNowNs + static_cast<std::uint64_t>(
                                     std::chrono::nanoseconds(mOptions.heartbeatPeriod).count());
    return heartbeat();
}

bool CVYRDeviceModel::receive(const std::vector<std::uint8_t>& inBytes, std::uint64_t inNow) {
    bool vanish = false;
    for (const std::uint8_t byte : inBytes) {
        if (byte >= 0xF8) {
            continue; // real-time bytes may come between any two
        }
        if (byte >= 0x80 && byte != 0xF7) {
            mBroken += mInSysEx ? 1 : 0;
            mInSysEx = byte == 0xF0;
            mPartial = {inNow, {}};
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

void CVYRDeviceModel::pluggedInAgain() {
    mReceived.clear();
    mInSysEx = false;
    mGone = false;
}
