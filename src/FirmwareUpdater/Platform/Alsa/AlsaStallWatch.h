// Whether something that should keep moving (the bytes left to send, the room in another
// program's queue) has stood still for too long: the far end has stopped taking data.
#pragma once

#include <chrono>

class CAlsaStallWatch {
  public:
    explicit CAlsaStallWatch(std::chrono::steady_clock::duration inLimit) : mLimit(inLimit) {}

    /// True once inValue has stayed the same for longer than the limit.
    bool stalled(long inValue) {
        const auto now = std::chrono::steady_clock::now();
        if (inValue != mLast) {
            mLast = inValue;
            mSince = now;
            return false;
        }
        return now - mSince > mLimit;
    }

  private:
    const std::chrono::steady_clock::duration mLimit;
    long mLast = -1;
    std::chrono::steady_clock::time_point mSince = std::chrono::steady_clock::now();
};
