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
    /// it again. Returns "" or what went wrong.
    std::string writeUdc(const std::string& inContent) const;
    /// The controller the gadget is bound to, "" if none or unknown.
    std::string boundController() const;

    std::string describe() const override { return mDevice; }
    std::vector<pollfd> descriptors() override;
    bool read(std::vector<std::uint8_t>& ioBytes) override;
    bool write(const std::vector<std::uint8_t>& inBytes) override;
    std::string replug(std::chrono::milliseconds inDelay) override;

  private:
    std::string open();
    void close();

    const std::string mDevice;
    const std::string mUdcFile;
    std::string mProblem;
    snd_rawmidi_t* mIn = nullptr;
    snd_rawmidi_t* mOut = nullptr;
};
