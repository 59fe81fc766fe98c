#include "Shell/Launch/Endings.h"

#include "Common/CommandLine.h"
#include "Common/DebugUtil.h"
#include "Shell/Localization.h"

namespace {

// In the order of EEnding.
constexpr SEnding kEndings[] = {
    {EEnding::kComplete, "complete", kExitComplete, N_("The update is complete."), false},
    {EEnding::kCommunicationError, "communication error", kExitTransferFailed,
     N_("The transfer failed. VYR stays in update mode; run the updater again to resume the "
        "update."),
     true},
    {EEnding::kCancelledNothingSent, "cancelled", kExitCancelled,
     N_("The update was cancelled; nothing was sent to VYR."), false},
    {EEnding::kCancelled, "cancelled", kExitCancelled, N_("The update was cancelled."), false},
    {EEnding::kUnexpectedError, "unexpected error", kExitUnexpected,
     N_("An unexpected error ended the update."), true},
    {EEnding::kGaveUp, "gave up", kExitGaveUp, N_("The unattended update gave up."), false},
    {EEnding::kImageRefused, "image refused", kExitImageRefused,
     N_("The firmware image was refused."), false},
    {EEnding::kAlreadyRunning, "already running", kExitAlreadyRunning,
     N_("Another update is running."), false},
    {EEnding::kLockUnavailable, "lock unavailable", kExitAlreadyRunning,
     N_("The status file cannot be locked."), false},
    {EEnding::kMIDIUnavailable, "midi unavailable", kExitMIDIUnavailable,
     N_("MIDI devices cannot be reached."), false},
    {EEnding::kUsageError, "usage error", kExitUsage, N_("The command line is wrong."), false},
};

} // namespace

const SEnding& endingRow(EEnding inEnding) {
    const SEnding& row = kEndings[static_cast<std::size_t>(inEnding)];
    DTA_ASSERT(row.ending == inEnding);
    return row;
}

EEnding endingOf(ELaunchOutcome inOutcome, bool inGaveUp, bool inTransferBegan) {
    switch (inOutcome) {
    case ELaunchOutcome::kCompleted:
        return EEnding::kComplete;
    case ELaunchOutcome::kTransferFailed:
        return EEnding::kCommunicationError;
    case ELaunchOutcome::kUnexpectedError:
        return EEnding::kUnexpectedError;
    case ELaunchOutcome::kCancelled:
        break;
    }
    return inGaveUp          ? EEnding::kGaveUp
           : inTransferBegan ? EEnding::kCancelled
                             : EEnding::kCancelledNothingSent;
}

EEnding endingOf(ELaunchRefusal inRefusal) {
    DTA_ASSERT(inRefusal != ELaunchRefusal::kNone);
    switch (inRefusal) {
    case ELaunchRefusal::kImageRefused:
        return EEnding::kImageRefused;
    case ELaunchRefusal::kAlreadyRunning:
        return EEnding::kAlreadyRunning;
    case ELaunchRefusal::kLockUnavailable:
        return EEnding::kLockUnavailable;
    case ELaunchRefusal::kMIDIUnavailable:
    case ELaunchRefusal::kNone:
        break;
    }
    return EEnding::kMIDIUnavailable;
}
