// vyr-update: the VYR firmware updater in a terminal.
#include "Platform/StandardStreams.h"
#include "Shell/Launch/Catalogue.h"
#include "Shell/Launch/DeviceList.h"
#include "Shell/Launch/Launch.h"
#include "Shell/Launch/LaunchJson.h"
#include "Shell/Launch/StopRule.h"
#include "Shell/Localization.h"
#include "TerminalUI.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>

#ifndef VYR_VERSION
#define VYR_VERSION "unknown"
#endif

namespace {

constexpr SProgram kProgram = {
    "vyr-update", VYR_VERSION,
    N_("Puts new firmware on a VYR device: waits for its heartbeat, asks you to switch it to\n"
       "update mode, checks that it fell silent, then plays the firmware image to it.\n"
       "A transfer that fails or is interrupted is resumed at the next run.\n"
       "\n"
       "Answer a prompt with Enter (the first button), or type a button's name, its first\n"
       "letter or its number, then Enter. \"Waiting...\" ends by itself when the device "
       "answers.\n"),
    N_("The firmware image (a regular file of at most 64 MiB) is read and checked before "
       "anything\n"
       "is sent: a refused image ends the run before the first prompt.\n"
       "\n"
       "exit status: 0 complete, 1 communication error during the transfer, 2 cancelled,\n"
       "3 unexpected error, 4 unattended run gave up (no device in time, the same error\n"
       "again and again, or a low battery), 5 firmware image refused, 6 another update is\n"
       "running or the status file cannot be locked, 7 MIDI devices cannot be reached (no\n"
       "sound devices, no permission), 64 usage error, 130 stopped by a second Ctrl-C or\n"
       "SIGTERM during the transfer.\n")};

struct SCommand {
    bool list = false;                  // --list
    bool json = false;                  // --json
    bool yes = false;                   // --yes
    bool unattendedOptionGiven = false; // --wait or --tries
    SUnattendedOptions unattended;
};

std::vector<SOption> terminalOptions(SCommand& outCommand) {
    SUnattendedOptions& unattended = outCommand.unattended;
    const auto given = [&outCommand](std::function<std::string(const char*)> inSet) {
        return [&outCommand, inSet](const char* inValue) {
            outCommand.unattendedOptionGiven = true;
            return inSet(inValue);
        };
    };
    return {
        {"json", 0, nullptr,
         N_("with --yes: the result as one JSON object on stdout (see\n"
            "vyr-update(1)); every other line goes to stderr; with --list:\n"
            "the ports as JSON"),
         setsFlag(outCommand.json)},
        {"list", 0, nullptr,
         N_("list the MIDI ports with model, name and address, mark the\n"
            "VYR devices and say which one would be updated; then end"),
         setsFlag(outCommand.list)},
        {"yes", 'y', nullptr, N_("answer every prompt with its first button (unattended)"),
         setsFlag(outCommand.yes)},
        {"wait", 0, N_("SECONDS"),
         N_("unattended: how long to wait for the device, 1 to 86400\n(default 60)"),
         given(setsNumber("--wait", 1, 86400, unattended.deviceWaitSeconds))},
        {"tries", 0, N_("N"),
         N_("unattended: how many tries of the update-mode prompt in all\nwhile each ends in the "
            "same error, 1 to 100 (default 3)"),
         given(setsNumber("--tries", 1, 100, unattended.promptRepeats))},
    };
}

// Why the run cannot begin; when MIDI is out of reach, also how to try the updater anyway.
void tellWhyNot(const std::string& inWhy, bool inMIDIUnavailable) {
    std::fprintf(stderr, "vyr-update: %s\n", inWhy.c_str());
    if (inMIDIUnavailable) {
        std::fprintf(stderr, "vyr-update: %s\n",
                     _("to try the updater without a device: vyr-update --simulate"));
    }
}

// The whole update; human lines go to inTerminal.output, the result comes back.
SLaunchResult update(const SLaunchOptions& inOptions, const STerminalOptions& inTerminal,
                     const SCommand& inCommand) {
    try {
        CLaunch launch(kProgram.name, inOptions);
        std::string why;
        if (const ELaunchRefusal refused = launch.prepare(why); refused != ELaunchRefusal::kNone) {
            tellWhyNot(why, refused == ELaunchRefusal::kMIDIUnavailable);
            return SLaunchResult::of(endingRow(endingOf(refused)), why);
        }
        STerminalOptions terminal = inTerminal;
        terminal.transferSeconds = launch.imageFacts().durationMs / 1000.0;
        CTerminalUI ui(terminal);
        std::optional<CUnattended> unattended;
        if (inCommand.yes) {
            SUnattendedOptions answering = inCommand.unattended;
            answering.deviceListed = CLaunch::deviceListed;
            unattended.emplace(ui, ui, answering);
        }
        const SLaunchResult result =
            unattended ? launch.runToTheEnd(*unattended, &*unattended) : launch.runToTheEnd(ui);
        // The errors were told as they came; the other endings are told here.
        if (!result.ending->toldByError && !result.message.empty()) {
            std::fprintf(stderr, "vyr-update: %s\n", result.message.c_str());
        }
        if (!result.report.empty()) {
            std::fprintf(inTerminal.output, "\n%s", result.report.c_str());
        }
        return result;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vyr-update: %s\n", e.what());
        return SLaunchResult::of(endingRow(EEnding::kUnexpectedError), e.what());
    }
}

// A usage error with --json: the line for people, and the object for the program.
int usageErrorJson(const std::string& inMessage) {
    std::fprintf(stderr, "vyr-update: %s\n(see vyr-update --help)\n", inMessage.c_str());
    std::fputs(
        launchResultJson(SLaunchResult::of(endingRow(EEnding::kUsageError), inMessage)).c_str(),
        stdout);
    return kExitUsage;
}

// Flushes and closes stdout; true, after saying so, when some of it did not arrive.
bool lostOutput() {
    std::string why;
    if (FinishStandardOutput(why)) {
        return false;
    }
    std::fprintf(stderr, "vyr-update: %s: %s\n", _("some output was lost"), why.c_str());
    return true;
}

// --list: the MIDI ports, as a table or as JSON.
int listPorts(const SLaunchOptions& inOptions, bool inJson) {
    CLaunch launch(kProgram.name, inOptions);
    std::string problem;
    if (!launch.startMIDI(problem)) {
        tellWhyNot(problem, true);
        // A program that asked for the list still gets an object, one that says why not.
        if (inJson) {
            const SEnding& ending = endingRow(EEnding::kMIDIUnavailable);
            std::fputs(launchResultJson(SLaunchResult::of(ending, problem)).c_str(), stdout);
        }
        return lostOutput() ? kExitUnexpected : kExitMIDIUnavailable;
    }
    std::fputs(inJson ? midiDevicesJson(listMIDIDevices()).c_str() : describeMIDIDevices().c_str(),
               stdout);
    return lostOutput() ? kExitUnexpected : kExitComplete;
}

// The usage error when nobody, or the wrong one, would answer the prompts; nothing when the
// run may begin.
std::optional<int> whoAnswersRefused(const SCommand& inCommand,
                                     const STerminalOptions& inTerminal) {
    if (inCommand.json && !inCommand.yes) {
        return usageErrorJson(_("--json needs --yes: a program reads the output, nobody answers"));
    }
    if (inCommand.unattendedOptionGiven && !inCommand.yes) {
        return usageError(kProgram, _("--wait and --tries go with --yes: a person at the prompts "
                                      "waits and answers as long as they like"));
    }
    if (!inCommand.yes && isatty(inTerminal.inputFd) == 0) {
        std::fprintf(stderr, "vyr-update: %s\n",
                     _("standard input is not a terminal, so nobody can answer the prompts; run "
                       "with --yes to answer them unattended"));
        return kExitUsage;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    const auto started = std::chrono::steady_clock::now();
    EnsureStandardDescriptors();
    // A stop request during the start (reading the image, starting MIDI) is not lost.
    CStopRule::install();
    // Line by line also into a pipe: when stderr shares it, the lines keep their order.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    initLocalization();
    SLaunchOptions options;
    STerminalOptions terminal;
    SCommand command;
    // A program that asked for JSON gets its object even when the command line is wrong.
    const bool jsonAsked = std::find_if(argv + 1, argv + argc, [](const char* inArgument) {
                               return std::strcmp(inArgument, "--json") == 0;
                           }) != argv + argc;
    std::string usage;
    if (const std::optional<int> early =
            parseLaunchOptions(argc, argv, kProgram, terminalOptions(command), options,
                               jsonAsked ? &usage : nullptr)) {
        return *early == kExitUsage && jsonAsked ? usageErrorJson(usage) : *early;
    }
    if (command.list) {
        return listPorts(options, command.json);
    }
    if (const std::optional<int> refused = whoAnswersRefused(command, terminal)) {
        return *refused;
    }
    // With --json, stdout is the program's: the people's lines go to stderr.
    terminal.output = command.json ? stderr : stdout;
    // A closed pipe or terminal must not end a transfer; failed writes are told at the end.
    std::signal(SIGPIPE, SIG_IGN);
    SLaunchResult result = update(options, terminal, command);
    if (command.json) {
        result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::fputs(launchResultJson(result).c_str(), stdout);
    }
    // The lines for people may go to a reader that left; the JSON is the result itself.
    if (lostOutput() && command.json) {
        return kExitUnexpected;
    }
    return result.ending->exitStatus;
}
