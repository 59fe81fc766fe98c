#include "VYRAppDelegate.h"

#include "Common/GenericException.h"
#include "Common/VYRController.h"
#include "Shell/Localization.h"

namespace {

constexpr std::int32_t kErrorNotConnected = 1000;
constexpr std::int32_t kErrorCommunication = 1001;
constexpr std::int32_t kErrorNotInUpdateMode = 1002;
constexpr std::int32_t kErrorUnexpected = 1003;

constexpr double kFirstPollDelay = 1.0;
constexpr double kPollInterval = 0.5;

} // namespace

VYRAppDelegate::VYRAppDelegate(CUserInterface& inUI) : mUI(inUI) {}

VYRAppDelegate::~VYRAppDelegate() {
    stopPoll();
}

SAlert VYRAppDelegate::createAlertWithMessage(const char* inKey, const char* inButton1,
                                              const char* inButton2) {
    SAlert alert{inKey, _(inKey), {inButton1}, false};
    if (inButton2 != nullptr) {
        alert.buttons.emplace_back(inButton2);
    }
    return alert;
}

void VYRAppDelegate::applicationDidFinishLaunching() {
    mStatusValue = kStatusNothingBegun;
    mStatusUnreadable = false;
    mOutcome = ELaunchOutcome::kCancelled;
    try {
        CVYRController::initialize();
        loadPreferenceData();
        mResumed = mStatusValue == kStatusTransferBegun && !mStatusUnreadable;
        if (mResumed) {
            mUI.showNotice(_("Resuming the update that was begun before."));
        } else if (mStatusValue != kStatusNothingBegun && !mStatusUnreadable) {
            // Not a word would say why "Waiting..." does not come.
            mUI.showNotice(_("An earlier update got as far as the transfer, so this one goes "
                             "straight to the update-mode prompt."));
        }
        if (mStatusValue == kStatusNothingBegun && !waitForConnectToVYR()) {
            return;
        }
        // The last moment to stop with nothing sent: a stop asked for during the silence
        // check is honoured here.
        if (!powerAllowsUpdate() || !waitForUpdateMode() || mUI.stopRequested()) {
            return;
        }
        // From here until the transfer ends, the computer must not sleep or shut down.
        mUI.keepAwake(true);
        const std::int32_t before = mStatusValue;
        if (!setStatus(kStatusTransferBegun) && !goOnWithoutStatus()) {
            mUI.keepAwake(false);
            mStatusValue = before;
            return;
        }
        if (runUpdate()) {
            mOutcome = ELaunchOutcome::kCompleted;
        } else {
            mOutcome = ELaunchOutcome::kTransferFailed;
            displayToolError(mUI, kErrorCommunication);
        }
    } catch (...) {
        mOutcome = ELaunchOutcome::kUnexpectedError;
        displayToolError(mUI, kErrorUnexpected);
    }
}

void VYRAppDelegate::applicationWillTerminate() {
    // The poll calls the controller: it must be gone before the controller is.
    stopPoll();
    (void)savePreferenceData(); // a failure is in the log; nothing is left to ask
    CVYRController::terminate();
}

bool VYRAppDelegate::loadPreferenceData() {
    std::int32_t status = 0;
    std::string problem;
    const bool found = mUI.loadStatus(status, problem);
    if (!problem.empty()) {
        // What it held is unknown: a transfer may have begun, and a device left in update
        // mode sends no heartbeat to wait for. The update-mode prompt serves both cases.
        mUI.showNotice(problem + "\n" +
                       _("A transfer may have begun, so the update goes on at the update-mode "
                         "prompt."));
        mStatusValue = kStatusTransferBegun;
        mStatusUnreadable = true;
        return true;
    }
    if (!found) {
        return false;
    }
    mStatusValue = status;
    return true;
}

bool VYRAppDelegate::savePreferenceData() {
    if (mStatusValue == kStatusNothingBegun) {
        return true;
    }
    mSaveProblem.clear();
    if (!mUI.saveStatus(mStatusValue, mSaveProblem)) {
        mUI.log("Failed to save the preference data.");
        mUI.log(mSaveProblem);
        return false;
    }
    return true;
}

bool VYRAppDelegate::setStatus(std::int32_t inStatus) {
    mStatusValue = inStatus;
    return savePreferenceData();
}

bool VYRAppDelegate::goOnWithoutStatus() {
    SAlert alert = createAlertWithMessage(kStatusNotSaved, N_("OK"), N_("Cancel"));
    alert.message += "\n" + mSaveProblem + "\n" +
                     _("If the transfer is interrupted, the next run cannot resume it.");
    return mUI.runModal(alert) == kAlertFirstButtonReturn;
}

bool VYRAppDelegate::waitForConnectToVYR() {
    if (!mPoll.joinable()) {
        mPoll = std::thread([this] {
            if (pollSleep(kFirstPollDelay) && checkHeartbeat()) {
                mUI.abortModal();
            }
        });
    }
    const int result = mUI.runModal({"Waiting...", _("Waiting..."), {N_("Cancel")}, true});
    if (result != kModalResponseAbort) {
        // Nothing is waiting for the device any more; a poll left running would also call
        // the controller after it is gone.
        stopPoll();
        return false;
    }
    mPoll.join();
    mUI.runModal(createAlertWithMessage(N_("Ready"), N_("OK")));
    // Its one button cannot back out: a stop there ends the run before the next prompt.
    return !mUI.stopRequested();
}

bool VYRAppDelegate::checkHeartbeat() {
    bool opened = false;
    for (;;) {
        try {
            if (!opened) {
                opened = CVYRController::instance()->openVYR();
            }
        } catch (...) {
            // A port the service refused: the device is not found yet; try again.
        }
        if (opened && CVYRController::instance()->checkHeartbeat()) {
            return true;
        }
        if (!pollSleep(kPollInterval)) {
            return false;
        }
    }
}

bool VYRAppDelegate::waitForUpdateMode() {
    const SAlert prompt = createAlertWithMessage(kUpdateModePrompt, N_("OK"), N_("Cancel"));
    for (;;) {
        if (mUI.runModal(prompt) == kAlertSecondButtonReturn) {
            return false;
        }
        try {
            mUI.runLongStep(ELongStep::kSilenceCheck, [] {
                CVYRController::instance()->openVYRForUpdate();
                return true;
            });
            return true;
        } catch (const mstd::CGenericException& e) {
            const std::int32_t code = e.getErrorCode();
            if (code != kErrorNotConnected && code != kErrorNotInUpdateMode) {
                throw;
            }
            displayToolError(mUI, code);
        }
    }
}

bool VYRAppDelegate::runUpdate() {
    const std::vector<std::uint8_t> image =
        mUI.resource(kFirmwareResourceName, kFirmwareResourceType)
            .value_or(std::vector<std::uint8_t>{});
    mProgress = std::make_unique<ProgressViewController>(mUI, mUI.showProgressView());
    mProgress->awakeFromNib();
    static const std::uint8_t kNoImage = 0;
    const auto transfer = [&] {
        if (!CVYRController::instance()->updateFirmware(image.empty() ? &kNoImage : image.data(),
                                                        static_cast<std::uint32_t>(image.size()),
                                                        updateProgress, mProgress.get()) ||
            !mUI.deviceReceivedTheImage()) {
            return false;
        }
        // On disk before the notice, and with the transfer: it is done whatever happens to
        // the window or the notice. Unsaved (logged), the next run resumes a whole transfer.
        (void)setStatus(kStatusTransferCompleted);
        return true;
    };
    bool completed = false;
    try {
        completed = mUI.runLongStep(ELongStep::kTransfer, transfer);
    } catch (...) {
        mUI.keepAwake(false);
        throw;
    }
    // The computer may sleep again while "Complete" or the error waits for the user.
    mUI.keepAwake(false);
    if (completed) {
        mProgress->showCompleteAlert();
    }
    return completed;
}

bool VYRAppDelegate::powerAllowsUpdate() {
    for (std::string low = mUI.powerProblem(); !low.empty(); low = mUI.powerProblem()) {
        SAlert alert = createAlertWithMessage(kLowBattery, N_("Check again"), N_("Cancel"));
        alert.message = low + "\n" + alert.message;
        alert.onlyAPersonAnswers = true;
        if (mUI.runModal(alert) != kAlertFirstButtonReturn) {
            return false;
        }
    }
    return true;
}

bool VYRAppDelegate::pollSleep(double inSeconds) {
    CClock& clock = CurrentClock();
    return clock.waitUntil(clock.now() + static_cast<Nanoseconds>(inSeconds * 1e9), &mPollStop);
}

void VYRAppDelegate::stopPoll() {
    mPollStop.wake();
    if (mPoll.joinable()) {
        mPoll.join();
    }
}

int displayToolError(CUserInterface& inUI, std::int32_t inCode) {
    const char* key = N_("Unexpected error.");
    switch (inCode) {
    case kErrorNotConnected:
        key = N_("Please check that VYR is connected.");
        break;
    case kErrorCommunication:
        key = N_("Communication error.");
        break;
    case kErrorNotInUpdateMode:
        key = N_("Please check that VYR is connected in update mode.");
        break;
    default:
        break;
    }
    return inUI.showError(_(key), inCode);
}

const char* adviceAfterError(std::int32_t inCode) {
    return inCode == kErrorCommunication
               ? _("The device stays in update mode. Run the updater again to resume the update.")
               : nullptr;
}

bool errorMeansNoDevice(std::int32_t inCode) {
    return inCode == kErrorNotConnected;
}

bool updateProgress(int inPercent, void* inContext) {
    static_cast<ProgressViewController*>(inContext)->incrementProgressValue(inPercent);
    return true;
}
