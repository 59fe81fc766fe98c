// The command line every front-end shares: the MIDI system and the device, the simulation
// and its misbehaviours, the firmware image, the preference file, with a front-end's own
// options parsed beside them.
#pragma once

#include "Common/CommandLine.h"
#include "Shell/Launch/Simulation.h"

#include <optional>
#include <string>
#include <vector>

/// Where the MIDI devices come from.
enum class EMIDISystem {
    kAlsa,    // real devices
    kVirtual, // the simulated device (--simulate)
};

struct SLaunchOptions {
    bool simulate = false;    // the simulated device on the virtual MIDI system
    bool alsaAsked = false;   // --midi=alsa given
    std::string device;       // "": every endpoint; else only those whose name or address has it
    std::string firmwarePath; // "": the bundled image
    std::string prefsPath;    // "": the default place
    bool ignorePower = false; // update on a low battery too
    SSimulationOptions simulation;

    EMIDISystem midiSystem() const { return simulate ? EMIDISystem::kVirtual : EMIDISystem::kAlsa; }
};

/// Parses the command line into outOptions and the front-end's own options. Returns nothing
/// when the program should go on; otherwise the exit status to end with, having printed the
/// help or the version to stdout (0) or the error to stderr (kExitUsage). With outError, an
/// error is put there instead of printed (a window shows it).
[[nodiscard]] std::optional<int> parseLaunchOptions(int argc, char** argv,
                                                    const SProgram& inProgram,
                                                    std::vector<SOption> inOwnOptions,
                                                    SLaunchOptions& outOptions,
                                                    std::string* outError = nullptr);
