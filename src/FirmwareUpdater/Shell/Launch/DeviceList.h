// What the MIDI system offers, for people: every source and destination with its model,
// name and address, which of them are VYR devices, and which pair the updater would use.
#pragma once

#include "Platform/CoreMIDI.h"

#include <string>

/// An endpoint as people and scripts name it.
struct SEndpointText {
    std::string model; // "" when it cannot be read
    std::string name;
    std::string address;
    bool modelReadable = false;
};
SEndpointText describeEndpoint(MIDIEndpointRef inEndpoint);

/// The listing of the installed MIDI service, as lines.
std::string describeMIDIDevices();
