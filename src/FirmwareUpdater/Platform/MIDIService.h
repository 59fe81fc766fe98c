// The seam behind CoreMIDI.h: one driver (MIDIDriver.h) per process provides the MIDI
// system beneath the service core. The virtual service (Virtual/) and ALSA (Alsa/) are
// the drivers; a front-end or a test installs one before the first client is created.
#pragma once

#include "MIDIDriver.h"

#include <memory>
#include <string>

/// Makes a new service over inDriver the process's MIDI service, replacing the one before
/// (null: none; then client creation fails with kMIDIServerStartErr and nothing is listed).
/// With inEndpointFilter, only endpoints whose name or address contains it are listed.
/// Returns kMIDIServerStartErr, changing nothing, while a client of the installed service
/// exists or when the driver cannot start; then outProblem (if given) says why.
[[nodiscard]] OSStatus MIDIServiceInstallDriver(std::shared_ptr<CMIDIDriver> inDriver,
                                                const std::string& inEndpointFilter = {},
                                                std::string* outProblem = nullptr);

/// What made the service's last failed call fail, in the user's words, once; "" when the
/// status says it all.
std::string MIDIServiceTakeProblem();
