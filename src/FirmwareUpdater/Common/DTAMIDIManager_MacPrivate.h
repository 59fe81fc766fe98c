// The MIDI manager's private record, shared by its two source files.
#pragma once

#include "Common/DTAMIDIManager_Mac.h"
#include "Platform/Multiprocessing.h"

struct CDTAMIDIManager::SPrivateMember {
    MIDIClientRef client = 0;
    MIDIPortRef inputPort = 0;  // 0 while no input is open
    MIDIPortRef outputPort = 0; // 0 while no output is open
    MIDIEndpointRef source = 0;
    MIDIEndpointRef destination = 0;
    MPCriticalRegionID region = nullptr;   // held by the read procedure for a whole packet list
    std::vector<std::uint8_t> sysExBuffer; // the message being assembled; empty when idle
};
