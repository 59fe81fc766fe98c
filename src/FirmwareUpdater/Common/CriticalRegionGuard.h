// Holds a critical region for one scope, so every enter is paired with an exit on every
// path, exceptions included.
#pragma once

#include "Platform/Multiprocessing.h"

namespace mstd {

class CCriticalRegionGuard {
  public:
    explicit CCriticalRegionGuard(MPCriticalRegionID inRegion) : mRegion(inRegion) {
        (void)MPEnterCriticalRegion(mRegion, kDurationForever);
    }
    ~CCriticalRegionGuard() { (void)MPExitCriticalRegion(mRegion); }

    CCriticalRegionGuard(const CCriticalRegionGuard&) = delete;
    CCriticalRegionGuard& operator=(const CCriticalRegionGuard&) = delete;

  private:
    MPCriticalRegionID mRegion;
};

} // namespace mstd
