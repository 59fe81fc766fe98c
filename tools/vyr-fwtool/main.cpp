// vyr-fwtool: inspects and rewrites firmware images (Standard MIDI Files).
#include "Commands.h"
#include "Common/CommandLine.h"
#include "Platform/StandardStreams.h"
#include "Platform/Utf8.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr SSubcommand kCommands[] = {
    {"info FILE", "format, tracks, division, and the events of each track"},
    {"dump FILE", "every event the reader holds, one line each: \"header format=F tracks=N "
                  "division=D\", then \"TRACK TICK short SS DD DD\", \"TRACK TICK meta TT DD "
                  "...\" or \"TRACK TICK sysex DD ...\""},
    {"schedule FILE", "when the updater sends each firmware message: a summary on lines "
                      "starting with '#', then INDEX TIME_MS BYTES per message in send order"},
    {"rewrite IN OUT", "read IN and write it again to OUT with the codec's writer. OUT is "
                       "replaced whole or not at all; a symlink is written through, an existing "
                       "file keeps its mode, and a device, FIFO or directory is refused"},
};

constexpr SProgram kProgram = {
    "vyr-fwtool",
    VYR_VERSION,
    "Inspects a VYR firmware image, a Standard MIDI File whose SysEx events are the firmware.",
    "FILE and IN may be a pipe, or - for standard input (at most 256 MiB); OUT may be - for "
    "standard output.\n\nexit status: 0 success, 1 a file refused or unreadable (the reason on "
    "stderr), 2 a usage error.",
    "COMMAND FILE...",
    2,
    kCommands,
};

} // namespace

int reportFailure(const std::string& inPath, const std::string& inReason) {
    std::fprintf(stderr, "vyr-fwtool: %s: %s\n", PrintableText(inPath).c_str(), inReason.c_str());
    return kExitRefused;
}

namespace {

// The operands after the options: the command and its files.
int runCommand(const std::vector<std::string>& inArgs, bool inSort) {
    if (inArgs.empty()) {
        return usageError(kProgram, "no command given");
    }
    const std::string& command = inArgs[0];
    const std::size_t files = inArgs.size() - 1;
    if (inSort && command != "rewrite") {
        return usageError(kProgram, "--sort goes with rewrite only");
    }
    if (std::find(inArgs.begin() + 1, inArgs.end(), "") != inArgs.end()) {
        return usageError(kProgram, "an empty file name names no file (- is standard input or "
                                    "output)");
    }
    if ((command == "info" || command == "dump" || command == "schedule") && files == 1) {
        return command == "info"   ? runInfo(inArgs[1])
               : command == "dump" ? runDump(inArgs[1])
                                   : runSchedule(inArgs[1]);
    }
    if (command == "rewrite" && files == 2) {
        return runRewrite(inArgs[1], inArgs[2], inSort);
    }
    if (command == "info" || command == "dump" || command == "schedule" || command == "rewrite") {
        return usageError(kProgram, "wrong arguments for '" + command + "'");
    }
    return usageError(kProgram, "unknown command '" + command + "'");
}

} // namespace

int main(int argc, char** argv) {
    EnsureStandardDescriptors();
    bool sort = false;
    const std::vector<SOption> options = {
        {"sort", 0, nullptr, "with rewrite: put every track's events in time order first",
         setsFlag(sort)},
    };
    std::vector<std::string> operands;
    if (const std::optional<int> early =
            parseCommandLine(argc, argv, kProgram, options, operands)) {
        return *early;
    }
    const int status = runCommand(operands, sort);
    // What was printed is the result (dump is read by scripts): lost output is a failure.
    if (std::string lost; !FinishStandardOutput(lost) && status == kExitOk) {
        return reportFailure("standard output", lost);
    }
    return status;
}
