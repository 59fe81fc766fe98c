// What the MIDI system offers, for people: every source and destination with its model,
// name and address, which of them are VYR devices, and which pair the updater would use.
#pragma once

#include <string>

/// The listing of the installed MIDI service, as lines.
std::string describeMIDIDevices();
