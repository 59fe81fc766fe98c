// --simulate: the whole workflow against the simulated VYR device on the virtual MIDI
// service. The device switches to update mode when the user confirms the update-mode
// prompt, and at the end reports what it received.
#pragma once

#include "Simulator/SimulatedVYRDevice.h"

#include <memory>

struct SSimulationOptions {
    bool absent = false;                 // no device plugged in
    SSimulatedDeviceOptions device = {}; // how it misbehaves
};

class CSimulation {
  public:
    /// Plugs the device into a virtual MIDI system of its own, which the launch installs.
    explicit CSimulation(const SSimulationOptions& inOptions);
    ~CSimulation();

    CSimulation(const CSimulation&) = delete;
    CSimulation& operator=(const CSimulation&) = delete;

    /// What the user does before confirming the update-mode prompt: switches the device
    /// (unless it is told to stay in normal mode).
    void userSwitchesToUpdateMode();
    /// What the device received, compared with inImage's SysEx messages, as lines for
    /// people. Only after a transfer began (so the device is plugged in).
    std::string report(const std::vector<std::uint8_t>& inImage) const;
    /// The same as figures.
    STransferReport transferReport(const std::vector<std::uint8_t>& inImage) const;
    const std::shared_ptr<CVirtualMIDIService>& driver() const { return mService; }

  private:
    SSimulationOptions mOptions;
    std::shared_ptr<CVirtualMIDIService> mService;
    std::unique_ptr<CSimulatedVYRDevice> mDevice;
};
