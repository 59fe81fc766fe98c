// vyr-update: the VYR firmware updater in a terminal.
#include "InterruptGuard.h"
#include "Shell/Localization.h"
#include "Shell/PreferenceFile.h"
#include "Shell/VYRAppDelegate.h"
#include "Simulation.h"
#include "TerminalUI.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <syslog.h>
#include <unistd.h>

#ifndef VYR_VERSION
#define VYR_VERSION "unknown"
#endif

namespace {

constexpr const char* kIdentifier = "org.vyr.firmware-updater";

// Exit statuses (documented in --help and the README).
constexpr int kExitComplete = 0;
constexpr int kExitTransferFailed = 1;
constexpr int kExitCancelled = 2;
constexpr int kExitUnexpected = 3;
constexpr int kExitGaveUp = 4;
constexpr int kExitUsage = 64;

constexpr const char* kUsage =
    "usage: vyr-update [OPTIONS]\n"
    "\n"
    "Puts new firmware on a VYR device: waits for its heartbeat, asks you to switch it to\n"
    "update mode, checks that it fell silent, then plays the firmware image to it.\n"
    "A transfer that fails or is interrupted is resumed at the next run.\n"
    "\n"
    "Answer a prompt with Enter (the first button), or type a button's name, its first\n"
    "letter or its number, then Enter. \"Waiting...\" ends by itself when the device answers.\n"
    "\n"
    "options:\n"
    "  --simulate           update a simulated VYR device (no hardware needed)\n"
    "  --firmware FILE      play FILE instead of the bundled image\n"
    "  --prefs FILE         keep the update status in FILE\n"
    "  --yes                answer every prompt with its first button (unattended)\n"
    "  --wait SECONDS       unattended: how long to wait for the device (default 60)\n"
    "  --tries N            unattended: how often to retry the update-mode prompt after\n"
    "                       the same error (default 3)\n"
    "  --sim-absent         simulated device: not connected\n"
    "  --sim-normal-mode    simulated device: stays in normal mode\n"
    "  --sim-fail-at K      simulated device: refuses the K-th firmware message and later\n"
    "  --sim-vanish-at K    simulated device: unplugged after the K-th firmware message\n"
    "  --sim-service-fault-at K  the MIDI service fails unexpectedly at the K-th message\n"
    "  -h, --help           show this help\n"
    "  --version            show the version\n"
    "\n"
    "exit status: 0 complete, 1 communication error during the transfer, 2 cancelled,\n"
    "3 unexpected error, 4 unattended run gave up (no device in time, or the same error\n"
    "again and again), 64 usage error, 130 stopped by a second Ctrl-C during the transfer.\n";

struct SOptions {
    bool simulate = false;
    STerminalOptions terminal;
    SSimulationOptions simulation;
    std::string prefsPath;
};

int usageError(const std::string& inMessage) {
    std::fprintf(stderr, "vyr-update: %s\n(see vyr-update --help)\n", inMessage.c_str());
    return kExitUsage;
}

std::optional<unsigned long> number(const char* inText) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(inText, &end, 10);
    if (inText[0] == '\0' || inText[0] == '-' || *end != '\0' || errno != 0) {
        return std::nullopt;
    }
    return value;
}

// Returns an exit status when the program should end right away.
std::optional<int> parseOptions(int argc, char** argv, SOptions& outOptions) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return kExitComplete;
        }
        if (arg == "--version") {
            std::printf("vyr-update %s\n", VYR_VERSION);
            return kExitComplete;
        }
        if (arg == "--simulate") {
            outOptions.simulate = true;
        } else if (arg == "--yes") {
            outOptions.terminal.unattended = true;
        } else if (arg == "--sim-absent") {
            outOptions.simulation.absent = true;
        } else if (arg == "--sim-normal-mode") {
            outOptions.simulation.staysInNormalMode = true;
        } else if ((arg == "--firmware" || arg == "--prefs") && hasValue) {
            (arg == "--firmware" ? outOptions.terminal.firmwarePath : outOptions.prefsPath) =
                argv[++i];
        } else if ((arg == "--wait" || arg == "--tries" || arg == "--sim-fail-at" ||
                    arg == "--sim-vanish-at" || arg == "--sim-service-fault-at") &&
                   hasValue) {
            const std::optional<unsigned long> value = number(argv[++i]);
            if (!value || *value > 100000) {
                return usageError(arg + " needs a whole number");
            }
            if (arg == "--wait") {
                outOptions.terminal.deviceWaitSeconds = static_cast<double>(*value);
            } else if (arg == "--tries") {
                outOptions.terminal.promptRepeats = static_cast<int>(*value);
            } else if (arg == "--sim-fail-at") {
                outOptions.simulation.failAt = static_cast<std::uint32_t>(*value);
            } else if (arg == "--sim-vanish-at") {
                outOptions.simulation.vanishAt = static_cast<std::uint32_t>(*value);
            } else {
                outOptions.simulation.serviceFaultAt = static_cast<std::uint32_t>(*value);
            }
        } else {
            return usageError("unknown option or missing value: " + arg);
        }
    }
    if (!outOptions.simulate) {
        return usageError(
            "this build can only update the simulated device: real devices need the ALSA MIDI "
            "backend, which is not built yet; use --simulate");
    }
    if (!outOptions.terminal.unattended && isatty(outOptions.terminal.inputFd) == 0) {
        return usageError(
            "standard input is not a terminal, so nobody can answer the prompts; run with --yes "
            "to answer them unattended");
    }
    return std::nullopt;
}

int exitStatus(ELaunchOutcome inOutcome, bool inGaveUp) {
    switch (inOutcome) {
    case ELaunchOutcome::kCompleted:
        return kExitComplete;
    case ELaunchOutcome::kTransferFailed:
        return kExitTransferFailed;
    case ELaunchOutcome::kUnexpectedError:
        return kExitUnexpected;
    case ELaunchOutcome::kCancelled:
        return inGaveUp ? kExitGaveUp : kExitCancelled;
    }
    return kExitUnexpected;
}

} // namespace

int main(int argc, char** argv) {
    initLocalization();
    SOptions options;
    if (const std::optional<int> early = parseOptions(argc, argv, options)) {
        return *early;
    }
    openlog("vyr-update", LOG_PID, LOG_USER);
    try {
        // The simulation keeps its own status, never the user's real one.
        const std::string prefsPath =
            !options.prefsPath.empty() ? options.prefsPath
            : options.simulate
                ? CPreferenceFile::defaultPath(std::string(kIdentifier) + ".simulate")
                : CPreferenceFile::defaultPath(kIdentifier);
        const CPreferenceFile preferences(prefsPath);
        CSimulation simulation(options.simulation);
        CTerminalUI terminal(options.terminal);
        const std::unique_ptr<CUserInterface> ui = simulation.wrap(terminal);
        ELaunchOutcome outcome = ELaunchOutcome::kCancelled;
        {
            VYRAppDelegate delegate(*ui, preferences);
            delegate.applicationDidFinishLaunching();
            delegate.applicationWillTerminate();
            outcome = delegate.outcome();
        }
        simulation.printReport(
            terminal.resource("VYR_Firm_ver200main", "bin").value_or(std::vector<std::uint8_t>{}),
            stdout);
        return exitStatus(outcome, terminal.gaveUp());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vyr-update: %s\n", e.what());
        return kExitUnexpected;
    }
}
