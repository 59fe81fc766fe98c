// vyr-update: the VYR firmware updater in a terminal.
#include "InterruptGuard.h"
#include "Shell/DeviceList.h"
#include "Shell/Launch.h"
#include "Shell/Localization.h"
#include "TerminalUI.h"

#include <csignal>
#include <cstdio>
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
       "3 unexpected error, 4 unattended run gave up (no device in time, or the same error\n"
       "again and again), 5 firmware image refused, 6 another update is running,\n"
       "7 MIDI devices cannot be reached (no sound devices, no permission), 64 usage error,\n"
       "130 stopped by a second Ctrl-C or SIGTERM during the transfer.\n")};

std::vector<SFrontEndOption> terminalOptions(STerminalOptions& ioOptions, bool& outList) {
    return {
        {"list", 0, nullptr,
         N_("list the MIDI ports with model, name and address, mark the\n"
            "VYR devices and say which one would be updated; then end"),
         [&outList](const char*) {
             outList = true;
             return std::string();
         }},
        {"yes", 'y', nullptr, N_("answer every prompt with its first button (unattended)"),
         [&ioOptions](const char*) {
             ioOptions.unattended = true;
             return std::string();
         }},
        {"wait", 0, "SECONDS", N_("unattended: how long to wait for the device (default 60)"),
         [&ioOptions](const char* inValue) {
             unsigned long value = 0;
             std::string error = parseNumber("--wait", inValue, 1, 86400, value);
             ioOptions.deviceWaitSeconds = static_cast<double>(value);
             return error;
         }},
        {"tries", 0, "N",
         N_("unattended: how often to answer the update-mode prompt\nagain after the same error "
            "(default 3)"),
         [&ioOptions](const char* inValue) {
             unsigned long value = 0;
             std::string error = parseNumber("--tries", inValue, 1, 100, value);
             ioOptions.promptRepeats = static_cast<int>(value);
             return error;
         }},
    };
}

} // namespace

int main(int argc, char** argv) {
    initLocalization();
    SLaunchOptions options;
    STerminalOptions terminal;
    bool list = false;
    if (const std::optional<int> early =
            parseLaunchOptions(argc, argv, kProgram, terminalOptions(terminal, list), options)) {
        return *early;
    }
    if (list) {
        CLaunch launch(kProgram.name, options);
        std::string problem;
        if (!launch.startMIDI(problem)) {
            std::fprintf(stderr, "vyr-update: %s\n", problem.c_str());
            return kExitMIDIUnavailable;
        }
        std::fputs(describeMIDIDevices().c_str(), stdout);
        return kExitComplete;
    }
    if (!terminal.unattended && isatty(terminal.inputFd) == 0) {
        std::fprintf(stderr, "vyr-update: %s\n",
                     _("standard input is not a terminal, so nobody can answer the prompts; run "
                       "with --yes to answer them unattended"));
        return kExitUsage;
    }
    // A closed pipe or terminal must not end a transfer; failed writes are told at the end.
    std::signal(SIGPIPE, SIG_IGN);
    int status = kExitUnexpected;
    try {
        CLaunch launch(kProgram.name, options);
        std::string refusal;
        if (const ELaunchRefusal refused = launch.prepare(refusal);
            refused != ELaunchRefusal::kNone) {
            std::fprintf(stderr, "vyr-update: %s\n", refusal.c_str());
            return exitStatus(refused);
        }
        CTerminalUI ui(terminal);
        const ELaunchOutcome outcome = launch.run(ui);
        if (outcome == ELaunchOutcome::kCancelled && !launch.transferBegan()) {
            std::fprintf(stderr, "vyr-update: %s\n",
                         _("cancelled; nothing was sent to the device"));
        }
        if (const std::string report = launch.report(); !report.empty()) {
            std::printf("\n%s", report.c_str());
        }
        status = exitStatus(outcome, ui.gaveUp());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vyr-update: %s\n", e.what());
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "vyr-update: %s\n",
                     _("some output was lost: standard output was closed"));
    }
    return status;
}
