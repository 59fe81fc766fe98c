// What goes wrong with ALSA, in the program's own words: alsa-lib's own error lines are
// kept off the terminal, and a failure names the device and what the user can do.
#pragma once

#include <string>

/// Routes alsa-lib's error lines away from stderr; the last one is kept for lastAlsaLine().
/// Idempotent.
void InstallAlsaErrorHandler();
/// The last line alsa-lib reported, "" if none.
std::string LastAlsaLine();

/// Why the sequencer could not be opened (inError: a negative errno), with what to do.
std::string DescribeSequencerOpenFailure(int inError);
/// A failed write or drain of a device (inError: a negative errno), for the user.
std::string DescribeWriteFailure(const std::string& inDevice, int inError);
