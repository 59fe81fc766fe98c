// Critical regions: the updater's locks.
//
// A region is a recursive mutual-exclusion lock: one thread at a time holds it, and the
// holder may enter it again, leaving it as often as it entered. Waits are without limit.
// Any thread may call these functions.
#pragma once

#include "MacTypes.h"

struct OpaqueMPCriticalRegionID;
using MPCriticalRegionID = OpaqueMPCriticalRegionID*;

/// Creates a region and stores it in *outRegion. Returns noErr, paramErr for a null
/// outRegion, or memFullErr (then *outRegion is null).
[[nodiscard]] OSStatus MPCreateCriticalRegion(MPCriticalRegionID* outRegion);

/// Destroys a region that no thread holds. Returns paramErr for a null region.
[[nodiscard]] OSStatus MPDeleteCriticalRegion(MPCriticalRegionID inRegion);

/// Returns noErr once the calling thread holds the region. Only kDurationForever is
/// supported: any other time-out, or a null region, returns paramErr at once.
[[nodiscard]] OSStatus MPEnterCriticalRegion(MPCriticalRegionID inRegion, Duration inTimeout);

/// Leaves the region once; the calling thread must hold it. Returns paramErr for a null region.
[[nodiscard]] OSStatus MPExitCriticalRegion(MPCriticalRegionID inRegion);
