#include "Shell/Launch/Simulation.h"

#include "Common/DebugUtil.h"
#include "Shell/Localization.h"
#include "Simulator/ExpectedTransfer.h"

CSimulation::CSimulation(const SSimulationOptions& inOptions)
    : mOptions(inOptions), mService(std::make_shared<CVirtualMIDIService>()) {
    if (!mOptions.absent) {
        mDevice = std::make_unique<CSimulatedVYRDevice>(mService, mOptions.device);
    }
}

CSimulation::~CSimulation() = default;

void CSimulation::userSwitchesToUpdateMode() {
    if (mDevice != nullptr) {
        mDevice->switchToUpdateMode();
    }
}

std::string CSimulation::report(const std::vector<std::uint8_t>& inImage) const {
    return std::string(_("Simulated VYR device:")) + "\n" +
           describeTransfer(transferReport(inImage));
}

STransferReport CSimulation::transferReport(const std::vector<std::uint8_t>& inImage) const {
    DTA_ASSERT(mDevice != nullptr);
    // The image was checked at launch, so its schedule exists.
    std::string unused;
    return mDevice->report(expectedTransfer(inImage, unused).value());
}
