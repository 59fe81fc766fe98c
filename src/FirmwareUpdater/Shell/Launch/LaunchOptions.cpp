#include "Shell/Launch/LaunchOptions.h"

#include "Platform/Utf8.h"
#include "Shell/Launch/PreferenceFile.h"
#include "Shell/Localization.h"

#include <utility>

namespace {

constexpr unsigned long kMaxMessageNumber = 1'000'000;

// The options every front-end has; the front-end's own come first in the help.
std::vector<SOption> sharedOptions(SLaunchOptions& ioOptions) {
    const auto messageNumber = [](const char* inName, std::uint32_t& outK) {
        return setsNumber(inName, 1, kMaxMessageNumber, outK);
    };
    // "--firmware --sim-absent" is a forgotten value, not a file; ./--x names such a file.
    const auto path = [](const char* inName, std::string& outPath) {
        return [inName, &outPath](const char* inValue) {
            if (inValue[0] == '-' && inValue[1] == '-') {
                return std::string(inName) + ": " + _("a file name is needed, not the option") +
                       " " + PrintableText(inValue);
            }
            if (inValue[0] == '\0') {
                return std::string(inName) + ": " + _("a file name is needed");
            }
            outPath = inValue;
            return std::string();
        };
    };
    const auto midiSystem = [&ioOptions](const char* inValue) {
        const std::string value = inValue;
        if (value != "alsa" && value != "virtual") {
            return std::string("--midi: ") + _("alsa or virtual, not") + " \"" + value + "\"";
        }
        (value == "alsa" ? ioOptions.alsaAsked : ioOptions.simulate) = true;
        return std::string();
    };
    SSimulationOptions& sim = ioOptions.simulation;
    return {
        {"midi", 0, N_("SYSTEM"),
         N_("where devices are found: alsa (real devices, the default)\n"
            "or virtual (the simulated device, as --simulate)"),
         midiSystem},
        {"device", 0, N_("TEXT"),
         N_("use only MIDI ports whose name or address contains TEXT\n"
            "(for two devices plugged in at once)"),
         [&ioOptions](const char* inValue) {
             if (inValue[0] == '\0') {
                 return std::string("--device: ") + _("a name or address is needed");
             }
             ioOptions.device = inValue;
             return std::string();
         }},
        {"simulate", 0, nullptr, N_("update a simulated VYR device (no hardware needed)"),
         setsFlag(ioOptions.simulate)},
        {"firmware", 0, N_("FILE"), N_("play FILE instead of the bundled image"),
         path("--firmware", ioOptions.firmwarePath)},
        {"prefs", 0, N_("FILE"), N_("keep the update status in FILE"),
         path("--prefs", ioOptions.prefsPath)},
        {"ignore-power", 0, nullptr,
         N_("update even on a battery below 25 % (a transfer the battery\n"
            "cuts short leaves VYR in update mode)"),
         setsFlag(ioOptions.ignorePower)},
        {"sim-absent", 0, nullptr, N_("simulated device: not connected"), setsFlag(sim.absent)},
        {"sim-normal-mode", 0, nullptr, N_("simulated device: stays in normal mode"),
         setsFlag(sim.device.behaviour.staysInNormalMode)},
        {"sim-fail-at", 0, N_("K"),
         N_("simulated device: refuses the K-th firmware message and later"),
         messageNumber("--sim-fail-at", sim.device.refuseSendsFrom)},
        {"sim-vanish-at", 0, N_("K"),
         N_("simulated device: unplugged after the K-th firmware message"),
         messageNumber("--sim-vanish-at", sim.device.behaviour.vanishAfterMessage)},
        {"sim-service-fault-at", 0, N_("K"),
         N_("the MIDI service fails unexpectedly at the K-th message"),
         messageNumber("--sim-service-fault-at", sim.device.serviceFaultAt)},
        {"sim-garble-at", 0, N_("K"),
         N_("simulated device: the K-th firmware message arrives with a byte\nchanged"),
         messageNumber("--sim-garble-at", sim.device.garbleAt)},
    };
}

// What the options say together that none says alone.
std::string conflicts(const SLaunchOptions& inOptions) {
    const SSimulationOptions& sim = inOptions.simulation;
    const SSimulatedDeviceOptions& device = sim.device;
    const bool anyMisbehaviour =
        device.behaviour.staysInNormalMode || device.behaviour.vanishAfterMessage != 0 ||
        device.refuseSendsFrom != 0 || device.serviceFaultAt != 0 || device.garbleAt != 0;
    if ((sim.absent || anyMisbehaviour) && !inOptions.simulate) {
        return _("the --sim-* options need --simulate");
    }
    if (sim.absent && anyMisbehaviour) {
        return _("--sim-absent cannot be combined with another --sim-* option: there is no device "
                 "to misbehave");
    }
    if (inOptions.simulate && inOptions.alsaAsked) {
        return _("the simulated device is on the virtual MIDI system, not --midi=alsa");
    }
    return {};
}

} // namespace

std::optional<int> parseLaunchOptions(int argc, char** argv, const SProgram& inProgram,
                                      std::vector<SOption> inOwnOptions, SLaunchOptions& outOptions,
                                      std::string* outError) {
    for (SOption& shared : sharedOptions(outOptions)) {
        inOwnOptions.push_back(std::move(shared));
    }
    std::vector<std::string> operands;
    if (const std::optional<int> early =
            parseCommandLine(argc, argv, inProgram, std::move(inOwnOptions), operands, outError)) {
        return early;
    }
    if (!operands.empty()) {
        return usageError(inProgram, std::string(_("unexpected argument")) + " " + operands[0],
                          outError);
    }
    if (const std::string error = conflicts(outOptions); !error.empty()) {
        return usageError(inProgram, error, outError);
    }
    // A file the user named is never moved or replaced: what is no status file is refused
    // now, before anything is done.
    if (const std::string problem = outOptions.prefsPath.empty()
                                        ? std::string()
                                        : CPreferenceFile::refusalOf(outOptions.prefsPath);
        !problem.empty()) {
        return usageError(inProgram,
                          "--prefs " + PrintableText(outOptions.prefsPath) + ": " + problem + "; " +
                              _("name a status file (a property list) or a file that does not "
                                "exist yet"),
                          outError);
    }
    return std::nullopt;
}
