// How a run ends, one table for every front-end and for scripts: the name --json gives, the
// exit status (documented in --help and the man pages), and the sentence people read.
#pragma once

#include "Shell/VYRAppDelegate.h"

/// Why a launch cannot begin; nothing has touched the device or the status then.
enum class ELaunchRefusal {
    kNone,
    kImageRefused,    // the firmware image is missing, unreadable or no playable image
    kAlreadyRunning,  // another updater holds the same status file
    kLockUnavailable, // the status file's lock cannot be taken
    kMIDIUnavailable, // the MIDI system cannot be used (no devices, no permission)
};

enum class EEnding {
    kComplete,
    kCommunicationError,
    kCancelledNothingSent, // before the transfer
    kCancelled,            // once it began (at "Complete" or an error)
    kUnexpectedError,
    kGaveUp, // an unattended run
    kImageRefused,
    kAlreadyRunning,
    kLockUnavailable,
    kMIDIUnavailable,
    kUsageError, // the command line was wrong
};

struct SEnding {
    EEnding ending;
    const char* name; // for scripts: "complete", "communication error", ...
    int exitStatus;
    const char* sentence; // for people: the English text, translated where it is shown
    bool toldByError;     // an error alert said why, in more words than the sentence
};

/// Exit statuses, the same for every front-end.
inline constexpr int kExitComplete = 0;
inline constexpr int kExitTransferFailed = 1;
inline constexpr int kExitCancelled = 2;
inline constexpr int kExitUnexpected = 3;
inline constexpr int kExitGaveUp = 4;
inline constexpr int kExitImageRefused = 5;
inline constexpr int kExitAlreadyRunning = 6;
inline constexpr int kExitMIDIUnavailable = 7;
/// The user stopped the transfer anyway, after the warning (128 + SIGINT).
inline constexpr int kExitInterrupted = 130;

/// The row of inEnding.
const SEnding& endingRow(EEnding inEnding);
/// How a launch that ran ended: inGaveUp when an unattended run gave up, inTransferBegan once
/// the first message may have gone.
EEnding endingOf(ELaunchOutcome inOutcome, bool inGaveUp, bool inTransferBegan);
/// How a refused launch ended (not kNone).
EEnding endingOf(ELaunchRefusal inRefusal);
