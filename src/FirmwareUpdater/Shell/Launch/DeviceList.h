// What the MIDI system offers, for people: every source and destination with its model,
// name and address, which of them are VYR devices, and which pair the updater would use.
#pragma once

#include "Platform/CoreMIDI.h"

#include <optional>
#include <string>
#include <vector>

/// An endpoint as people and scripts name it.
struct SEndpointText {
    std::string model; // "" when it cannot be read
    std::string name;
    std::string address;
    bool modelReadable = false;
};
SEndpointText describeEndpoint(MIDIEndpointRef inEndpoint);

/// What the installed MIDI service lists, and the pair the updater would use.
struct SMIDIDevices {
    std::vector<SEndpointText> sources;
    std::vector<SEndpointText> destinations;
    std::optional<std::size_t> usedSource; // places in the lists; none when no pair is found
    std::optional<std::size_t> usedDestination;
};
SMIDIDevices listMIDIDevices();

/// True when inEndpoint's model names a VYR device.
bool isVYR(const SEndpointText& inEndpoint);

/// The listing of the installed MIDI service, as lines.
std::string describeMIDIDevices();
