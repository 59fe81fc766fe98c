// vyr-sim-device: plays the VYR device on real MIDI, for testing the updater against the
// real kernel drivers: on the device side of a USB-MIDI gadget (rawmidi), or as a
// sequencer client named as the model. SIGUSR1 switches it to update mode; SIGTERM or
// SIGINT ends it, printing what it received compared with the firmware image.
#include "EmulatedDevice.h"
#include "Platform/Clock.h"
#include "Platform/FileRead.h"
#include "Platform/StandardStreams.h"
#include "RawMidiLine.h"
#include "SequencerLine.h"
#include "Simulator/ExpectedTransfer.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <getopt.h>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: vyr-sim-device (--rawmidi DEVICE [--udc FILE] | --seq MODEL) [OPTIONS]\n"
    "\n"
    "Plays a VYR device: heartbeats in normal mode, silent in update mode, recording\n"
    "every message. SIGUSR1 switches it to update mode; SIGTERM or SIGINT ends it and\n"
    "prints what it received (compared with --firmware FILE).\n"
    "\n"
    "  --rawmidi DEVICE     the device side of a USB-MIDI gadget, e.g. hw:VYRDEV,0,0\n"
    "  --udc FILE           the gadget's UDC file, for --sim-vanish-at\n"
    "  --seq MODEL          a sequencer client named MODEL, with the port\n"
    "                       \"MODEL MIDI 1\"\n"
    "  --firmware FILE      the image the transfer should deliver\n"
    "  --heartbeat-ms N     heartbeat period (default 200)\n"
    "  --sim-normal-mode    stays in normal mode when told to switch\n"
    "  --sim-restart-on-switch\n"
    "                       switches by leaving the bus for --replug-ms and coming\n"
    "                       back in update mode, as a device that restarts to update\n"
    "  --sim-vanish-at K    unplugged after the K-th message, back in update mode\n"
    "                       after --replug-ms; the next transfer is recorded anew\n"
    "  --replug-ms N        how long the device is off the bus (default 1000)\n"
    "  -h, --help           show this help\n"
    "  --version            show the version\n"
    "\n"
    "exit status: 0 done (the transfer identical to --firmware, if given), 1 not\n"
    "identical or the report lost, 2 usage error or the line cannot be opened.\n";

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
    SEmulatedDeviceOptions device;
};

bool number(const char* inValue, unsigned long inMax, unsigned long& outValue) {
    char* end = nullptr;
    outValue = std::strtoul(inValue, &end, 10);
    return inValue[0] >= '0' && inValue[0] <= '9' && *end == '\0' && outValue >= 1 &&
           outValue <= inMax;
}

// Returns false after printing what is wrong.
bool parse(int argc, char** argv, SOptions& outOptions) {
    const option table[] = {
        {"rawmidi", required_argument, nullptr, 'r'},
        {"udc", required_argument, nullptr, 'u'},
        {"seq", required_argument, nullptr, 's'},
        {"firmware", required_argument, nullptr, 'f'},
        {"heartbeat-ms", required_argument, nullptr, 'b'},
        {"sim-normal-mode", no_argument, nullptr, 'n'},
        {"sim-restart-on-switch", no_argument, nullptr, 'R'},
        {"sim-vanish-at", required_argument, nullptr, 'v'},
        {"replug-ms", required_argument, nullptr, 'p'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    for (int c; (c = getopt_long(argc, argv, "h", table, nullptr)) != -1;) {
        unsigned long value = 0;
        switch (c) {
        case 'r':
            outOptions.rawmidi = optarg;
            break;
        case 'u':
            outOptions.udc = optarg;
            break;
        case 's':
            outOptions.sequencerModel = optarg;
            break;
        case 'f':
            outOptions.firmware = optarg;
            break;
        case 'b':
        case 'p':
        case 'v':
            if (!number(optarg, 1'000'000, value)) {
                std::fprintf(stderr, "vyr-sim-device: a whole number from 1 is needed, not %s\n",
                             optarg);
                return false;
            }
            if (c == 'b') {
                outOptions.device.heartbeatPeriod = std::chrono::milliseconds(value);
            } else if (c == 'p') {
                outOptions.replugDelay = std::chrono::milliseconds(value);
            } else {
                outOptions.device.vanishAfterMessage = static_cast<std::uint32_t>(value);
            }
            break;
        case 'n':
            outOptions.device.staysInNormalMode = true;
            break;
        case 'R':
            outOptions.restartOnSwitch = true;
            break;
        case 'h':
            std::fputs(kUsage, stdout);
            std::exit(0);
        case 'V':
            std::printf("vyr-sim-device %s\n", VYR_VERSION);
            std::exit(0);
        default:
            std::fputs(kUsage, stderr);
            return false;
        }
    }
    if (optind < argc || outOptions.rawmidi.empty() == outOptions.sequencerModel.empty()) {
        std::fputs(kUsage, stderr);
        return false;
    }
    return true;
}

std::unique_ptr<CDeviceLine> openLine(const SOptions& inOptions, std::string& outProblem) {
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
bool serve(CDeviceLine& ioLine, CEmulatedDevice& ioDevice, const SOptions& inOptions) {
    std::vector<std::uint8_t> bytes;
    while (!sStopAsked) {
        if (sUpdateModeAsked.exchange(false)) {
            const bool switched = ioDevice.switchToUpdateMode();
            if (switched && inOptions.restartOnSwitch) {
                say("restarting in update mode");
                if (const std::string problem = ioLine.replug(inOptions.replugDelay);
                    !problem.empty()) {
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
            if (const std::string problem = ioLine.replug(inOptions.replugDelay);
                !problem.empty()) {
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
    if (!parse(argc, argv, options)) {
        return 2;
    }
    std::vector<std::uint8_t> image;
    std::optional<std::vector<SExpectedMessage>> expected;
    if (!options.firmware.empty()) {
        const std::string problem =
            ReadWholeFile(options.firmware, EFileKind::kRegularOnly, 64u << 20, image);
        expected = problem.empty() ? expectedTransfer(image) : std::nullopt;
        if (!expected) {
            say(options.firmware + ": " + (problem.empty() ? "no playable image" : problem));
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
    CEmulatedDevice device(options.device);
    say("VYR device on " + line->describe() + ", normal mode (heartbeat every " +
        std::to_string(options.device.heartbeatPeriod.count()) + " ms)");
    const bool served = serve(*line, device, options);

    std::string report = "messages received: " + std::to_string(device.received().size()) + "\n";
    bool identical = true;
    if (expected) {
        const STransferReport compared = compareTransfer(*expected, device.received());
        report = describeTransfer(compared);
        identical = compared.identical;
    }
    if (device.brokenMessages() != 0) {
        report += "messages cut short: " + std::to_string(device.brokenMessages()) + "\n";
    }
    std::printf("Simulated VYR device:\n%s", report.c_str());
    if (const std::string lost = FinishStandardOutput(); !lost.empty()) {
        say("the report was lost: " + lost);
        return 1;
    }
    return served && identical ? 0 : 1;
}
