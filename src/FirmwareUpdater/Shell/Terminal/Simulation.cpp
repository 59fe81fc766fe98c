#include "Simulation.h"

#include "Simulator/ExpectedTransfer.h"

namespace {

// Forwards everything; when the user confirms the update-mode prompt, switches the device
// as a person would before pressing OK.
class CHandOnDevice : public CUserInterface {
  public:
    CHandOnDevice(CUserInterface& inInner, CSimulatedVYRDevice* inDevice, bool inStaysInNormalMode)
        : mInner(inInner), mDevice(inDevice), mStaysInNormalMode(inStaysInNormalMode) {}

    int runModal(const SAlert& inAlert) override {
        const int result = mInner.runModal(inAlert);
        if (inAlert.key == "Please change VYR to update mode." &&
            result == kAlertFirstButtonReturn && mDevice != nullptr && !mStaysInNormalMode) {
            mDevice->switchToUpdateMode();
        }
        return result;
    }
    void abortModal() override { mInner.abortModal(); }
    int showError(const std::string& inMessage, int inCode) override {
        return mInner.showError(inMessage, inCode);
    }
    CProgressDisplay& showProgressView() override { return mInner.showProgressView(); }
    std::optional<std::vector<std::uint8_t>> resource(const std::string& inName,
                                                      const std::string& inType) override {
        return mInner.resource(inName, inType);
    }
    void log(const std::string& inLine) override { mInner.log(inLine); }

  private:
    CUserInterface& mInner;
    CSimulatedVYRDevice* mDevice;
    bool mStaysInNormalMode;
};

} // namespace

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

std::unique_ptr<CUserInterface> CSimulation::wrap(CUserInterface& inInner) {
    return std::make_unique<CHandOnDevice>(inInner, mDevice.get(), mOptions.staysInNormalMode);
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
