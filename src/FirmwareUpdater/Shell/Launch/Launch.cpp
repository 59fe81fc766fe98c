#include "Shell/Launch/Launch.h"

#include "Common/DTAMIDIManager_Mac.h"
#include "Common/DebugUtil.h"
#include "Common/FirmwareSchedule.h"
#include "Platform/Alsa/AlsaMIDIDriver.h"
#include "Platform/FileRead.h"
#include "Platform/Utf8.h"
#include "Shell/Launch/ComputerPower.h"
#include "Shell/Launch/PreferenceFile.h"
#include "Shell/Launch/Resources.h"
#include "Shell/Launch/StopRule.h"
#include "Shell/Launch/Unattended.h"
#include "Shell/Localization.h"

#include <sys/stat.h>
#include <syslog.h>
#include <utility>

namespace {

constexpr const char* kIdentifier = "org.vyr.firmware-updater";

} // namespace

// The workflow's port: the front-end's prompts and progress view, with the image and the
// log every front-end shares.
class CLaunch::CLaunchedUI final : public CUserInterface {
  public:
    CLaunchedUI(CLaunch& inLaunch, CFrontEnd& inFrontEnd, CPreferenceFile& inPreferences)
        : mLaunch(inLaunch), mFrontEnd(inFrontEnd), mPreferences(inPreferences) {}

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
    // The MIDI system's own words on what failed (a device in use, unplugged) come along.
    int showError(const std::string& inMessage, int inCode) override {
        std::string message = inMessage;
        for (const std::string& why : {MIDIServiceTakeProblem(), std::exchange(mDifference, {})}) {
            message += why.empty() ? "" : "\n" + why;
        }
        return mFrontEnd.showError(message, inCode);
    }
    CProgressDisplay& showProgressView() override {
        mLaunch.mTransferBegan = true;
        // From the moment the view says "Now updating...", stopping leaves the device in
        // update mode: a stop only warns.
        mTransfer = std::make_unique<CStopRule::CTransfer>();
        // The device is open now: the one the transfer goes to.
        mLaunch.mDevice = openedDevice();
        return mFrontEnd.showProgressView();
    }
    bool runLongStep(ELongStep inStep, const std::function<bool()>& inRun) override {
        // The transfer, begun with its progress view, ends with its step, however it ends.
        const std::unique_ptr<CStopRule::CTransfer> transfer =
            inStep == ELongStep::kTransfer ? std::move(mTransfer) : nullptr;
        return mFrontEnd.runLongStep(inStep, inRun);
    }
    void showNotice(const std::string& inText) override { mFrontEnd.showNotice(inText); }
    bool stopRequested() const override { return mFrontEnd.stopRequested(); }
    // The firmware image is the one resource; it was read and checked at launch, and the
    // very bytes checked are the ones played.
    std::optional<std::vector<std::uint8_t>> resource(const std::string& inName,
                                                      const std::string& inType) override {
        if (inName == kFirmwareResourceName && inType == kFirmwareResourceType) {
            return mLaunch.mImage;
        }
        return std::nullopt;
    }
    bool loadStatus(std::int32_t& outStatus, std::string& outProblem) override {
        const bool found = mPreferences.load(outStatus);
        outProblem = mPreferences.problem();
        return found;
    }
    bool saveStatus(std::int32_t inStatus, std::string& outProblem) override {
        const bool saved = mPreferences.save(inStatus);
        outProblem = mPreferences.problem();
        return saved;
    }
    // Also on stderr: on many machines nothing listens to the system log.
    void log(const std::string& inLine) override {
        syslog(LOG_ERR, "%s", inLine.c_str());
        mstd::plainDiagnostic(inLine.c_str());
    }
    // No UPower (a desktop without a battery, a container): nothing speaks against it.
    std::string powerProblem() override {
        std::string unknown;
        const std::optional<SPowerSupply> supply =
            mLaunch.mOptions.ignorePower ? std::nullopt : readPowerSupply(unknown);
        return supply ? lowBatteryWarning(*supply) : std::string();
    }
    void keepAwake(bool inAwake) override {
        if (!inAwake) {
            mInhibitor.release();
            return;
        }
        std::string why = _("Updating the firmware of a VYR device");
        if (const std::optional<SEndpointText> device = openedDevice()) {
            why += ": " + device->name + " (" + device->address + ")";
        }
        std::string problem;
        mLaunch.mKeptAwake = mInhibitor.take(mLaunch.mProgram, why, problem);
        if (!*mLaunch.mKeptAwake) {
            showNotice(std::string(_("The computer cannot be kept awake during the transfer")) +
                       " (" + problem + "): " +
                       _("keep it from sleeping or shutting down until the update is complete."));
        }
    }
    // Only the simulated device can tell what arrived.
    bool deviceReceivedTheImage() override {
        if (mLaunch.mSimulation == nullptr) {
            return true;
        }
        const STransferReport report = mLaunch.mSimulation->transferReport(mLaunch.mImage);
        if (!report.identical) {
            mDifference =
                std::string(_("the simulated device received something other than the image:")) +
                " " + report.firstDifferenceTold;
        }
        return report.identical;
    }

  private:
    /// The destination the controller opened for the update, if any.
    static std::optional<SEndpointText> openedDevice() {
        const CDTAMIDIManager* manager = CDTAMIDIManager::instance();
        return manager != nullptr && manager->openedDestination() != 0
                   ? std::optional<SEndpointText>(describeEndpoint(manager->openedDestination()))
                   : std::nullopt;
    }

    CLaunch& mLaunch;
    CFrontEnd& mFrontEnd;
    CPreferenceFile& mPreferences;
    CSleepInhibitor mInhibitor;
    std::string mDifference; // what the device received otherwise, for the error that follows
    std::unique_ptr<CStopRule::CTransfer> mTransfer; // from the progress view to the step's end
};

CLaunch::CLaunch(const char* inProgram, SLaunchOptions inOptions)
    : mProgram(inProgram), mOptions(std::move(inOptions)) {
    openlog(inProgram, LOG_PID, LOG_USER);
    mstd::setLogSink([](const char* inLine) { syslog(LOG_NOTICE, "%s", inLine); });
    if (mOptions.simulate) {
        mSimulation = std::make_unique<CSimulation>(mOptions.simulation);
    }
}

CLaunch::~CLaunch() {
    (void)MIDIServiceInstallDriver(nullptr);
    mSimulation.reset();
    CStopRule::holdLock(nullptr);
    mLock.release();
    mstd::setLogSink(nullptr);
    closelog();
}

bool CLaunch::deviceListed() {
    return foundDevice().has_value();
}

std::optional<SEndpointText> CLaunch::foundDevice() {
    std::uint32_t source = 0;
    std::uint32_t destination = 0;
    if (CDTAMIDIManager::instance() == nullptr || !CVYRController::findVYR(source, destination)) {
        return std::nullopt;
    }
    return describeEndpoint(MIDIGetDestination(destination));
}

std::string CLaunch::preferencePath() const {
    if (!mOptions.prefsPath.empty()) {
        return mOptions.prefsPath;
    }
    // The simulation keeps its own status, never the user's real one.
    return CPreferenceFile::defaultPath(mOptions.simulate ? std::string(kIdentifier) + ".simulate"
                                                          : std::string(kIdentifier));
}

std::string CLaunch::imagePath() const {
    return mOptions.firmwarePath.empty()
               ? findResource(kFirmwareResourceName, kFirmwareResourceType)
               : mOptions.firmwarePath;
}

ELaunchRefusal CLaunch::prepare(std::string& outMessage) {
    const std::string image = imagePath();
    if (image.empty()) {
        outMessage = std::string(_("the bundled firmware image is missing: reinstall the updater, "
                                   "or name an image with --firmware FILE")) +
                     " (" + kFirmwareResourceName + "." + kFirmwareResourceType + ")";
        return ELaunchRefusal::kImageRefused;
    }
    std::string problem;
    if (ReadWholeFile(image, EFileKind::kRegularOnly, kMaxImageBytes, mImage, problem)) {
        CFirmwareSchedule schedule;
        problem = schedule.buildFromImage(mImage.data(), static_cast<std::uint32_t>(mImage.size()));
        mImageFacts = {schedule.size(), schedule.totalBytes(), schedule.durationMs()};
    }
    if (!problem.empty()) {
        mImage.clear();
        mImageFacts = {};
        outMessage = PrintableText(image) + ": " + problem;
        return ELaunchRefusal::kImageRefused;
    }

    if (!startMIDI(outMessage)) {
        return ELaunchRefusal::kMIDIUnavailable;
    }
    return takeLock(outMessage);
}

ELaunchRefusal CLaunch::takeLock(std::string& outMessage) {
    const std::string prefs = preferencePath();
    if (mOptions.prefsPath.empty()) {
        // The config folder as the XDG rules want it when it is missing, its parents too:
        // private.
        const std::string folder = prefs.substr(0, prefs.find_last_of('/'));
        for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
             slash = folder.find('/', slash + 1)) {
            ::mkdir(folder.substr(0, slash).c_str(), 0700);
        }
        ::mkdir(folder.c_str(), 0700);
    }
    // One updater per status file. Without its lock a second updater could reach the device
    // at the same time: no update then.
    std::string why;
    switch (mLock.take(prefs, why)) {
    case CStatusLock::EResult::kTaken:
        break;
    case CStatusLock::EResult::kHeldElsewhere:
        outMessage = std::string(_("another update is running; wait for it to end, or close it")) +
                     " (" + PrintableText(mLock.path()) + ")";
        return ELaunchRefusal::kAlreadyRunning;
    case CStatusLock::EResult::kUnavailable:
        outMessage = std::string(_("cannot lock the status file, so another updater could run "
                                   "at the same time:")) +
                     " " + PrintableText(mLock.path()) + ": " + why + "; " +
                     _("remove what is in its place, or keep the status elsewhere with --prefs");
        return ELaunchRefusal::kLockUnavailable;
    }
    // A program that ends at once lets it go too.
    CStopRule::holdLock(&mLock);
    return ELaunchRefusal::kNone;
}

bool CLaunch::startMIDI(std::string& outMessage) {
    std::shared_ptr<CMIDIDriver> driver;
    if (mSimulation != nullptr) {
        driver = mSimulation->driver();
    } else {
        driver = std::make_shared<CAlsaMIDIDriver>();
    }
    std::string problem;
    if (MIDIServiceInstallDriver(driver, mOptions.device, &problem) != noErr) {
        outMessage = std::string(_("cannot reach MIDI devices:")) + " " + problem;
        return false;
    }
    return true;
}

ELaunchOutcome CLaunch::run(CFrontEnd& inFrontEnd) {
    DTA_ASSERT(!mImage.empty());
    if (mSimulation != nullptr) {
        tellMisbehavioursPastTheImage(inFrontEnd);
    }
    CPreferenceFile preferences(preferencePath());
    CLaunchedUI ui(*this, inFrontEnd, preferences);
    VYRAppDelegate delegate(ui);
    delegate.applicationDidFinishLaunching();
    delegate.applicationWillTerminate();
    mResumed = delegate.resumed();
    return delegate.outcome();
}

// A misbehaviour asked for at a message past the image's last never happens: said, or the
// run completes as if it had been tried.
void CLaunch::tellMisbehavioursPastTheImage(CFrontEnd& ioFrontEnd) const {
    const SSimulatedDeviceOptions& device = mOptions.simulation.device;
    const std::pair<const char*, std::uint32_t> misbehaviours[] = {
        {"--sim-fail-at", device.refuseSendsFrom},
        {"--sim-vanish-at", device.behaviour.vanishAfterMessage},
        {"--sim-service-fault-at", device.serviceFaultAt},
        {"--sim-garble-at", device.garbleAt},
    };
    for (const auto& [option, message] : misbehaviours) {
        if (message > mImageFacts.messages) {
            ioFrontEnd.showNotice(formatted(
                _("%s %u: the image has only %zu messages, so the simulated device never gets "
                  "that far"),
                option, message, mImageFacts.messages));
        }
    }
}

SLaunchResult CLaunch::runToTheEnd(CFrontEnd& inFrontEnd, const CUnattended* inUnattended) {
    const ELaunchOutcome outcome = run(inFrontEnd);
    const std::string gaveUpBecause = inUnattended != nullptr ? inUnattended->gaveUpBecause() : "";
    const SEnding& ending = this->ending(outcome, !gaveUpBecause.empty());
    std::string why;
    if (!gaveUpBecause.empty()) {
        why = std::string(_("gave up:")) + " " + gaveUpBecause;
        if (!mOptions.device.empty() && !mTransferBegan) {
            why += std::string(" (") +
                   _("only ports whose name or address holds the --device text count:") + " \"" +
                   PrintableText(mOptions.device) + "\")";
        }
    } else if (ending.exitStatus != kExitComplete) {
        // A program reads the error's own words; people read them in the error alert.
        why = ending.toldByError && inUnattended != nullptr ? inUnattended->lastError()
                                                            : std::string(_(ending.sentence));
    }
    SLaunchResult result = SLaunchResult::of(ending, why);
    result.report = report();
    result.facts = facts();
    return result;
}

SLaunchResult SLaunchResult::of(const SEnding& inEnding, std::string inMessage) {
    SLaunchResult result;
    result.ending = &inEnding;
    result.message = std::move(inMessage);
    return result;
}

SLaunchFacts CLaunch::facts() const {
    SLaunchFacts facts;
    facts.device = mDevice;
    if (mTransferBegan) {
        facts.transfer = CVYRController::lastTransfer();
        if (mSimulation != nullptr) {
            facts.simulation = mSimulation->transferReport(mImage);
        }
    }
    facts.resumed = mResumed;
    facts.keptAwake = mKeptAwake;
    return facts;
}

std::string CLaunch::report() const {
    return mSimulation != nullptr && mTransferBegan ? mSimulation->report(mImage) : std::string();
}
