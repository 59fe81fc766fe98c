#include "Shell/Launch.h"

#include "Shell/Resources.h"

#include <syslog.h>

namespace {

constexpr const char* kIdentifier = "org.vyr.firmware-updater";

} // namespace

// The workflow's port: the front-end's prompts and progress view, with the resources and
// the log every front-end shares.
class CLaunch::CLaunchedUI final : public CUserInterface {
  public:
    CLaunchedUI(const CLaunch& inLaunch, CFrontEnd& inFrontEnd)
        : mLaunch(inLaunch), mFrontEnd(inFrontEnd) {}

    int runModal(const SAlert& inAlert) override {
        const int result = mFrontEnd.runModal(inAlert);
        // A person switches the device before confirming; the simulation's hand does it now.
        if (mLaunch.mSimulation != nullptr && inAlert.key == kUpdateModePrompt &&
            result == kAlertFirstButtonReturn) {
            mLaunch.mSimulation->userSwitchesToUpdateMode();
        }
        return result;
    }
    void abortModal() override { mFrontEnd.abortModal(); }
    int showError(const std::string& inMessage, int inCode) override {
        return mFrontEnd.showError(inMessage, inCode);
    }
    CProgressDisplay& showProgressView() override { return mFrontEnd.showProgressView(); }
    std::optional<std::vector<std::uint8_t>> resource(const std::string& inName,
                                                      const std::string& inType) override {
        if (inName == kFirmwareResourceName && inType == kFirmwareResourceType) {
            return mLaunch.firmwareImage();
        }
        return readFile(findResource(inName, inType));
    }
    void log(const std::string& inLine) override { syslog(LOG_ERR, "%s", inLine.c_str()); }

  private:
    const CLaunch& mLaunch;
    CFrontEnd& mFrontEnd;
};

CLaunch::CLaunch(const char* inProgram, SLaunchOptions inOptions) : mOptions(std::move(inOptions)) {
    openlog(inProgram, LOG_PID, LOG_USER);
    if (mOptions.simulate) {
        mSimulation = std::make_unique<CSimulation>(mOptions.simulation);
    }
}

CLaunch::~CLaunch() {
    mSimulation.reset();
    closelog();
}

std::string CLaunch::preferencePath() const {
    if (!mOptions.prefsPath.empty()) {
        return mOptions.prefsPath;
    }
    // The simulation keeps its own status, never the user's real one.
    return CPreferenceFile::defaultPath(mOptions.simulate ? std::string(kIdentifier) + ".simulate"
                                                          : std::string(kIdentifier));
}

std::optional<std::vector<std::uint8_t>> CLaunch::firmwareImage() const {
    return readFile(mOptions.firmwarePath.empty()
                        ? findResource(kFirmwareResourceName, kFirmwareResourceType)
                        : mOptions.firmwarePath);
}

ELaunchOutcome CLaunch::run(CFrontEnd& inFrontEnd) {
    const CPreferenceFile preferences(preferencePath());
    CLaunchedUI ui(*this, inFrontEnd);
    VYRAppDelegate delegate(ui, preferences);
    delegate.applicationDidFinishLaunching();
    delegate.applicationWillTerminate();
    return delegate.outcome();
}

void CLaunch::printReport(std::FILE* inOutput) const {
    if (mSimulation != nullptr) {
        mSimulation->printReport(firmwareImage().value_or(std::vector<std::uint8_t>{}), inOutput);
    }
}
