#include "Multiprocessing.h"

#include <mutex>
#include <new>

struct OpaqueMPCriticalRegionID {
    std::recursive_mutex mutex;
};

OSStatus MPCreateCriticalRegion(MPCriticalRegionID* outRegion) {
    if (outRegion == nullptr) {
        return paramErr;
    }
    *outRegion = new (std::nothrow) OpaqueMPCriticalRegionID;
    return *outRegion == nullptr ? memFullErr : noErr;
}

OSStatus MPDeleteCriticalRegion(MPCriticalRegionID inRegion) {
    if (inRegion == nullptr) {
        return paramErr;
    }
    delete inRegion;
    return noErr;
}

OSStatus MPEnterCriticalRegion(MPCriticalRegionID inRegion, Duration inTimeout) {
    if (inRegion == nullptr || inTimeout != kDurationForever) {
        return paramErr;
    }
    inRegion->mutex.lock();
    return noErr;
}

OSStatus MPExitCriticalRegion(MPCriticalRegionID inRegion) {
    if (inRegion == nullptr) {
        return paramErr;
    }
    inRegion->mutex.unlock();
    return noErr;
}
