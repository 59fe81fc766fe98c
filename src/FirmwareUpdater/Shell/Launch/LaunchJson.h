// The result of one launch as one JSON object, for scripts (vyr-update --json). The fields
// are an interface: documented in vyr-update(1), added to but never renamed.
#pragma once

#include "Shell/Launch/DeviceList.h"
#include "Shell/Launch/Launch.h"

#include <string>

/// The object on one line, ending in a newline.
std::string launchResultJson(const SLaunchResult& inResult);

/// What the MIDI service lists (vyr-update --list --json): {"sources": [...],
/// "destinations": [...]}, each endpoint with address, model (null when unreadable), name,
/// whether it is a VYR device and whether the updater would use it; one line.
std::string midiDevicesJson(const SMIDIDevices& inDevices);

/// inText as a JSON string: quoted, escaped, and valid even when inText is not valid UTF-8
/// (each stray byte becomes U+FFFD).
std::string jsonString(const std::string& inText);
/// inValue as a JSON number with at most three decimals, the same in every locale.
std::string jsonNumber(double inValue);
