// --simulate: the whole workflow against the simulated VYR device on the virtual MIDI
// service. The device switches to update mode when the user confirms the update-mode
// prompt, and at the end reports what it received.
#pragma once

#include "Shell/UserInterface.h"
#include "Simulator/SimulatedVYRDevice.h"

#include <cstdio>
#include <memory>

struct SSimulationOptions {
    bool absent = false; // no device plugged in
    bool staysInNormalMode = false;
    std::uint32_t failAt = 0;         // sends fail from the k-th message on
    std::uint32_t vanishAt = 0;       // unplugged after the k-th message
    std::uint32_t serviceFaultAt = 0; // the MIDI service throws at the k-th message
};

class CSimulation {
  public:
    /// Installs a virtual MIDI service as the process's backend and plugs the device in.
    explicit CSimulation(const SSimulationOptions& inOptions);
    ~CSimulation();

    CSimulation(const CSimulation&) = delete;
    CSimulation& operator=(const CSimulation&) = delete;

    /// The front-end as the workflow sees it: inInner, plus the user's hand on the device.
    std::unique_ptr<CUserInterface> wrap(CUserInterface& inInner);
    /// Prints what the device received, compared with inImage's SysEx messages.
    void printReport(const std::vector<std::uint8_t>& inImage, std::FILE* inOutput) const;

  private:
    SSimulationOptions mOptions;
    std::shared_ptr<CVirtualMIDIService> mService;
    std::unique_ptr<CSimulatedVYRDevice> mDevice;
};
