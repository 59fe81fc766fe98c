// The device side of a USB-MIDI gadget: its rawmidi device ("hw:VYRDEV,0,0"), and its
// UDC file, through which the gadget is unplugged and plugged in again.
#pragma once

#include "DeviceLine.h"

#include <alsa/asoundlib.h>

class CRawMidiLine final : public CDeviceLine {
  public:
    /// Opens inDevice in both directions. inUdcFile may be "" (no unplugging then).
    CRawMidiLine(std::string inDevice, std::string inUdcFile);
    ~CRawMidiLine() override;

    CRawMidiLine(const CRawMidiLine&) = delete;
    CRawMidiLine& operator=(const CRawMidiLine&) = delete;

    /// "" when the device is open, else why not.
    const std::string& problem() const { return mProblem; }
    /// Writes inContent to the UDC file: "" unplugs the gadget, the controller's name binds
    /// it again. False, with what went wrong in outWhy, when it cannot be written.
    [[nodiscard]] bool writeUdc(const std::string& inContent, std::string& outWhy) const;
    /// The controller the gadget is bound to, "" if none or unknown.
    std::string boundController() const;

    std::string describe() const override { return mDevice; }
    std::vector<pollfd> descriptors() override;
    [[nodiscard]] bool read(std::vector<std::uint8_t>& ioBytes) override;
    [[nodiscard]] bool write(const std::vector<std::uint8_t>& inBytes) override;
    [[nodiscard]] bool replug(std::chrono::milliseconds inDelay, std::string& outWhy) override;

  private:
    [[nodiscard]] bool open(std::string& outWhy);
    void close();

    const std::string mDevice;
    const std::string mUdcFile;
    std::string mProblem;
    snd_rawmidi_t* mIn = nullptr;
    snd_rawmidi_t* mOut = nullptr;
};
