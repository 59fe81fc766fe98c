// The command line every front-end shares: the MIDI system and the device, the simulation
// and its misbehaviours, the firmware image, the preference file, --help and --version, with a
// front-end's own options parsed beside them (getopt_long: --opt=value, --, short forms).
#pragma once

#include "Shell/Launch/Simulation.h"

#include <functional>
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
    SSimulationOptions simulation;

    EMIDISystem midiSystem() const { return simulate ? EMIDISystem::kVirtual : EMIDISystem::kAlsa; }
};

/// An option of one front-end's own.
struct SFrontEndOption {
    const char* name;      // long name, without "--"
    char shortName;        // 0: none
    const char* valueName; // nullptr: takes no value
    const char* help;      // may span lines
    /// Takes the value (nullptr for a flag); returns "" or what is wrong with it.
    std::function<std::string(const char* inValue)> apply;
};

struct SProgram {
    const char* name;
    const char* version;
    const char* about;    // after the usage line
    const char* epilogue; // after the options
};

/// The exit status of a usage error.
inline constexpr int kExitUsage = 64;

/// Parses the command line into outOptions and the front-end's own options. Returns nothing
/// when the program should go on; otherwise the exit status to end with, having printed the
/// help or the version to stdout (0) or the error to stderr (kExitUsage). With outError, an
/// error is put there instead of printed (a window shows it).
std::optional<int> parseLaunchOptions(int argc, char** argv, const SProgram& inProgram,
                                      const std::vector<SFrontEndOption>& inOwnOptions,
                                      SLaunchOptions& outOptions, std::string* outError = nullptr);

/// An option's action that sets outFlag (which must outlive the parse).
std::function<std::string(const char*)> setsFlag(bool& outFlag);

/// Reads inValue as a whole number from inMin to inMax into outValue; returns "" or what is
/// wrong, naming inOption and the range.
std::string parseNumber(const char* inOption, const char* inValue, unsigned long inMin,
                        unsigned long inMax, unsigned long& outValue);
