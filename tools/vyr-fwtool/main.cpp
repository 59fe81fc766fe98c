// vyr-fwtool: inspects and rewrites firmware images (Standard MIDI Files).
#include "Commands.h"
#include "Platform/StandardStreams.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: vyr-fwtool COMMAND FILE...\n"
    "\n"
    "Inspects a VYR firmware image, a Standard MIDI File whose SysEx events are the\n"
    "firmware.\n"
    "\n"
    "commands:\n"
    "  info FILE              format, tracks, division, and the events of each track\n"
    "  dump FILE              every event the reader holds, one line each:\n"
    "                           header format=F tracks=N division=D\n"
    "                           TRACK TICK short SS DD DD\n"
    "                           TRACK TICK meta TT DD ...\n"
    "                           TRACK TICK sysex DD ...\n"
    "  schedule FILE          when the updater sends each firmware message: a\n"
    "                         summary on lines starting with '#', then INDEX\n"
    "                         TIME_MS BYTES per message in send order\n"
    "  rewrite IN OUT [--sort]\n"
    "                         read IN and write it again to OUT with the codec's\n"
    "                         writer; --sort puts every track's events in time order\n"
    "                         first. OUT is replaced whole or not at all; a symlink\n"
    "                         is written through, an existing file keeps its mode,\n"
    "                         and a device, FIFO or directory is refused\n"
    "\n"
    "FILE and IN may be a pipe, or - for standard input (at most 256 MiB); OUT may be\n"
    "- for standard output.\n"
    "\n"
    "options:\n"
    "  -h, --help             show this help\n"
    "  --version              show the version\n"
    "\n"
    "exit status: 0 success, 1 a file refused or unreadable (the reason on stderr),\n"
    "2 a usage error.\n";

int usageError(const char* inMessage) {
    std::fprintf(stderr, "vyr-fwtool: %s\n%s", inMessage, kUsage);
    return kExitUsage;
}

} // namespace

int reportFailure(const std::string& inPath, const std::string& inReason) {
    std::fprintf(stderr, "vyr-fwtool: %s: %s\n", inPath.c_str(), inReason.c_str());
    return kExitRefused;
}

namespace {

// The command line without the program name; the exit status.
int runCommand(std::vector<std::string> args) {
    for (const std::string& arg : args) {
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        if (arg == "--version") {
            std::printf("vyr-fwtool %s\n", VYR_VERSION);
            return kExitOk;
        }
    }
    if (args.empty()) {
        return usageError("no command given");
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "info" && args.size() == 1) {
        return runInfo(args[0]);
    }
    if (command == "dump" && args.size() == 1) {
        return runDump(args[0]);
    }
    if (command == "schedule" && args.size() == 1) {
        return runSchedule(args[0]);
    }
    if (command == "rewrite") {
        bool sort = false;
        std::vector<std::string> paths;
        for (const std::string& arg : args) {
            if (arg == "--sort") {
                sort = true;
            } else {
                paths.push_back(arg);
            }
        }
        if (paths.size() == 2) {
            return runRewrite(paths[0], paths[1], sort);
        }
    }
    if (command == "info" || command == "dump" || command == "schedule" || command == "rewrite") {
        return usageError(("wrong arguments for '" + command + "'").c_str());
    }
    return usageError(("unknown command '" + command + "'").c_str());
}

} // namespace

int main(int argc, char** argv) {
    EnsureStandardDescriptors();
    const int status = runCommand(std::vector<std::string>(argv + 1, argv + argc));
    // What was printed is the result (dump is read by scripts): lost output is a failure.
    if (const std::string lost = FinishStandardOutput(); !lost.empty() && status == kExitOk) {
        return reportFailure("standard output", lost);
    }
    return status;
}
