// vyr-sim-device: plays the VYR device on real MIDI, for testing the updater against the
// real kernel drivers: on the device side of a USB-MIDI gadget (rawmidi), or as a
// sequencer client named as the model. SIGUSR1 switches it to update mode; SIGTERM or
// SIGINT ends it, printing what it received compared with the firmware image.
#include "Common/CommandLine.h"
#include "Platform/Alsa/AlsaProblems.h"
#include "Platform/Clock.h"
#include "Platform/FileRead.h"
#include "Platform/StandardStreams.h"
#include "Platform/Utf8.h"
#include "RawMidiLine.h"
#include "SequencerLine.h"
#include "Simulator/ExpectedTransfer.h"
#include "Simulator/VYRDeviceModel.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr SProgram kProgram = {
    "vyr-sim-device",
    VYR_VERSION,
    "Plays a VYR device: heartbeats in normal mode, silent in update mode, recording every "
    "message. SIGUSR1 switches it to update mode; SIGTERM or SIGINT ends it and prints what it "
    "received (compared with --firmware FILE).",
    "exit status: 0 done (the transfer identical to --firmware, if given), 1 not identical or "
    "the report lost, 2 usage error or the line cannot be opened.",
    "(--rawmidi DEVICE [--udc FILE] | --seq MODEL) [OPTIONS]",
    2,
};

std::atomic<bool> sUpdateModeAsked{false};
std::atomic<bool> sStopAsked{false};

void onSignal(int inSignal) {
    (inSignal == SIGUSR1 ? sUpdateModeAsked : sStopAsked) = true;
}

void say(const std::string& inLine) {
    std::fprintf(stderr, "vyr-sim-device: %s\n", inLine.c_str());
}

struct SOptions {
    std::string rawmidi;
    std::string udc;
    std::string sequencerModel;
    std::string firmware;
    std::chrono::milliseconds replugDelay{1000};
    bool restartOnSwitch = false;
    SVYRDeviceBehaviour device;
};

// Returns the exit status when the program is to end at once.
std::optional<int> parse(int argc, char** argv, SOptions& outOptions) {
    constexpr unsigned long kMaxMs = 1'000'000;
    const std::vector<SOption> options = {
        {"rawmidi", 0, "DEVICE", "the device side of a USB-MIDI gadget, e.g. hw:VYRDEV,0,0",
         setsText("--rawmidi", outOptions.rawmidi)},
        {"udc", 0, "FILE", "the gadget's UDC file, for --sim-vanish-at",
         setsText("--udc", outOptions.udc)},
        {"seq", 0, "MODEL", "a sequencer client named MODEL, with the port \"MODEL MIDI 1\"",
         setsText("--seq", outOptions.sequencerModel)},
        {"firmware", 0, "FILE", "the image the transfer should deliver",
         setsText("--firmware", outOptions.firmware)},
        {"heartbeat-ms", 0, "N", "heartbeat period, 1 to 1000000 (default 200)",
         setsNumber("--heartbeat-ms", 1, kMaxMs, outOptions.device.heartbeatPeriod)},
        {"sim-normal-mode", 0, nullptr, "stays in normal mode when told to switch",
         setsFlag(outOptions.device.staysInNormalMode)},
        {"sim-restart-on-switch", 0, nullptr,
         "switches by leaving the bus for --replug-ms and coming back in update mode, as a "
         "device that restarts to update",
         setsFlag(outOptions.restartOnSwitch)},
        {"sim-vanish-at", 0, "K",
         "unplugged after the K-th message (1 to 1000000), back in update mode after "
         "--replug-ms; the next transfer is recorded anew",
         setsNumber("--sim-vanish-at", 1, kMaxMs, outOptions.device.vanishAfterMessage)},
        {"replug-ms", 0, "N", "how long the device is off the bus, 1 to 1000000 (default 1000)",
         setsNumber("--replug-ms", 1, kMaxMs, outOptions.replugDelay)},
    };
    std::vector<std::string> operands;
    if (const std::optional<int> early =
            parseCommandLine(argc, argv, kProgram, options, operands)) {
        return early;
    }
    if (!operands.empty()) {
        return usageError(kProgram, "unexpected argument " + operands[0]);
    }
    if (outOptions.rawmidi.empty() && outOptions.sequencerModel.empty()) {
        return usageError(kProgram, "one of --rawmidi and --seq is needed");
    }
    if (!outOptions.rawmidi.empty() && !outOptions.sequencerModel.empty()) {
        return usageError(kProgram, "--rawmidi and --seq exclude each other: the device is on "
                                    "one line");
    }
    return std::nullopt;
}

std::unique_ptr<CDeviceLine> openLine(const SOptions& inOptions, std::string& outProblem) {
    InstallAlsaErrorHandler(); // alsa-lib's own lines say less, and in its words
    if (!inOptions.rawmidi.empty()) {
        auto line = std::make_unique<CRawMidiLine>(inOptions.rawmidi, inOptions.udc);
        outProblem = line->problem();
        return line;
    }
    auto line = std::make_unique<CSequencerLine>(inOptions.sequencerModel);
    outProblem = line->problem();
    return line;
}

// Until told to stop: heartbeats while in normal mode, every byte heard.
bool serve(CDeviceLine& ioLine, CVYRDeviceModel& ioDevice, const SOptions& inOptions) {
    std::vector<std::uint8_t> bytes;
    while (!sStopAsked) {
        if (sUpdateModeAsked.exchange(false)) {
            const bool switched = ioDevice.switchToUpdateMode();
            if (switched && inOptions.restartOnSwitch) {
                say("restarting in update mode");
                if (std::string problem; !ioLine.replug(inOptions.replugDelay, problem)) {
                    say(problem);
                    return false;
                }
            }
            say(switched ? "update mode" : "told to switch, stays in normal mode");
        }
        const std::vector<std::uint8_t> heartbeat = ioDevice.heartbeatDue(UpTime());
        if (!heartbeat.empty() && !ioLine.write(heartbeat)) {
            say(ioLine.describe() + ": cannot send the heartbeat");
            return false;
        }
        std::vector<pollfd> fds = ioLine.descriptors();
        ::poll(fds.data(), fds.size(), 10);
        bytes.clear();
        if (!ioLine.read(bytes)) {
            say(ioLine.describe() + ": reading failed (bytes may be lost)");
            return false;
        }
        if (ioDevice.receive(bytes, UpTime())) {
            say("unplugged after message " + std::to_string(ioDevice.received().size()));
            if (std::string problem; !ioLine.replug(inOptions.replugDelay, problem)) {
                say(problem);
                return false;
            }
            ioDevice.pluggedInAgain();
            say("plugged in again, still in update mode, on " + ioLine.describe());
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    EnsureStandardDescriptors();
    SOptions options;
    if (const std::optional<int> early = parse(argc, argv, options)) {
        return *early;
    }
    std::vector<std::uint8_t> image;
    std::optional<std::vector<SExpectedMessage>> expected;
    if (!options.firmware.empty()) {
        std::string problem;
        if (ReadWholeFile(options.firmware, EFileKind::kRegularOnly, 64u << 20, image, problem)) {
            expected = expectedTransfer(image, problem);
        }
        if (!expected) {
            say(PrintableText(options.firmware) + ": " + problem);
            return 2;
        }
    }
    std::string problem;
    const std::unique_ptr<CDeviceLine> line = openLine(options, problem);
    if (!problem.empty()) {
        say(problem);
        return 2;
    }
    std::signal(SIGUSR1, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    CVYRDeviceModel device(options.device);
    say("VYR device on " + line->describe() + ", normal mode (heartbeat every " +
        std::to_string(options.device.heartbeatPeriod.count()) + " ms)");
    const bool served = serve(*line, device, options);

    std::string report = "messages received: " + std::to_string(device.received().size()) + "\n";
    bool identical = true;
    if (expected) {
        // The updater opens its port as it sends the first message: that one may come late.
        const STransferReport compared =
            compareTransfer(*expected, device.received(), ELatenessAnchor::kBestKept);
        report = describeTransfer(compared);
        identical = compared.identical;
    }
    if (device.brokenMessages() != 0) {
        report += "messages cut short: " + std::to_string(device.brokenMessages()) + "\n";
    }
    std::printf("Simulated VYR device:\n%s", report.c_str());
    if (std::string lost; !FinishStandardOutput(lost)) {
        say("the report was lost: " + lost);
        return 1;
    }
    return served && identical ? 0 : 1;
}
