// A medium the emulated device speaks on: a rawmidi device (the device side of a USB-MIDI
// gadget) or a sequencer client of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <poll.h>
#include <string>
#include <vector>

class CDeviceLine {
  public:
    virtual ~CDeviceLine() = default;

    /// Where the device is, for people.
    virtual std::string describe() const = 0;
    /// Descriptors that become readable when bytes come.
    virtual std::vector<pollfd> descriptors() = 0;
    /// Appends the bytes that came; false when the line failed.
    [[nodiscard]] virtual bool read(std::vector<std::uint8_t>& ioBytes) = 0;
    /// Sends one SysEx message whole; false when the line failed.
    [[nodiscard]] virtual bool write(const std::vector<std::uint8_t>& inBytes) = 0;
    /// Takes the device off its bus and, after inDelay, puts it back; false, with what went
    /// wrong in outWhy, when it is not back.
    [[nodiscard]] virtual bool replug(std::chrono::milliseconds inDelay, std::string& outWhy) = 0;
};
