#include "Shell/Simulation.h"

#include "Simulator/ExpectedTransfer.h"

CSimulation::CSimulation(const SSimulationOptions& inOptions)
    : mOptions(inOptions), mService(std::make_shared<CVirtualMIDIService>()) {
    MIDIServiceInstallBackend(mService);
    if (!mOptions.absent) {
        SSimulatedDeviceOptions device;
        device.refuseSendsFrom = mOptions.failAt;
        device.vanishAfterMessage = mOptions.vanishAt;
        device.serviceFaultAt = mOptions.serviceFaultAt;
        mDevice = std::make_unique<CSimulatedVYRDevice>(mService, device);
    }
}

CSimulation::~CSimulation() {
    mDevice.reset();
    MIDIServiceInstallBackend(nullptr);
}

void CSimulation::userSwitchesToUpdateMode() {
    if (mDevice != nullptr && !mOptions.staysInNormalMode) {
        mDevice->switchToUpdateMode();
    }
}

void CSimulation::printReport(const std::vector<std::uint8_t>& inImage, std::FILE* inOutput) const {
    std::fprintf(inOutput, "\nSimulated VYR device:\n");
    if (mDevice == nullptr) {
        std::fprintf(inOutput, "not connected\n");
        return;
    }
    const std::optional<std::vector<SExpectedMessage>> expected = expectedTransfer(inImage);
    if (!expected) {
        std::fprintf(inOutput, "messages received: %zu (the firmware image was refused)\n",
                     mDevice->received().size());
        return;
    }
    std::fputs(describeTransfer(mDevice->report(*expected)).c_str(), inOutput);
}
