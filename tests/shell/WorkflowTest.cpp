// The launch sequence against a scripted front-end and the simulated device: every path of
// the workflow's failure handling, and what is stored when.
#include "Common/VYRController.h"
#include "FirmwareImage.h"
#include "ManualClock.h"
#include "Shell/VYRAppDelegate.h"
#include "Simulator/SimulatedVYRDevice.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <stdexcept>

namespace {

using Answer = std::function<int()>;

// Plays the user: answers each alert from a script and records what was shown.
class CScriptedUI : public CUserInterface, public CProgressDisplay {
  public:
    std::deque<Answer> script;
    std::vector<std::string> shown; // alert keys, "error N", "progress"
    std::vector<int> progress;
    std::vector<std::string> errors; // the messages of the error alerts
    std::vector<std::string> notices;
    std::vector<std::string> logged;
    std::optional<std::vector<std::uint8_t>> image;
    std::function<void()> onProgress;
    std::optional<std::int32_t> stored; // the stored status; none until one is saved
    std::vector<std::int32_t> saves;    // every save asked for, in order
    std::string loadProblem;            // what the next load says it did with a bad store
    std::string saveFailure;            // when set, every save fails with this reason
    std::deque<std::string> lowPower;   // what each power check says; "" when the queue is empty
    bool receivedTheImage = true;       // what the device says it received
    bool awake = false;
    std::vector<bool> awakeAtSaves;
    bool stopped = false; // a stop request came

    bool stopRequested() const override { return stopped; }

    int runModal(const SAlert& inAlert) override {
        shown.push_back(inAlert.key);
        if (inAlert.endsByItself && (script.empty() || !script.front())) {
            if (!script.empty()) {
                script.pop_front();
            }
            return waitForAbort();
        }
        if (script.empty()) {
            ADD_FAILURE() << "no answer scripted for " << inAlert.key;
            return inAlert.buttons.size() == 2 ? kAlertSecondButtonReturn : kAlertFirstButtonReturn;
        }
        const Answer answer = script.front();
        script.pop_front();
        return answer();
    }
    void abortModal() override {
        const std::lock_guard<std::mutex> lock(mMutex);
        mAborted = true;
        mWake.notify_all();
    }
    int showError(const std::string& inMessage, int inCode) override {
        shown.push_back("error " + std::to_string(inCode));
        errors.push_back(inMessage);
        return kAlertFirstButtonReturn;
    }
    CProgressDisplay& showProgressView() override { return *this; }
    void showNotice(const std::string& inText) override { notices.push_back(inText); }
    std::optional<std::vector<std::uint8_t>> resource(const std::string& inName,
                                                      const std::string& inType) override {
        EXPECT_EQ(inName + "." + inType, "VYR_Firm_ver200main.bin");
        if (!image) {
            throw std::runtime_error("no image scripted");
        }
        return image;
    }
    bool loadStatus(std::int32_t& outStatus, std::string& outProblem) override {
        outStatus = stored.value_or(0);
        outProblem = loadProblem;
        return stored.has_value();
    }
    bool saveStatus(std::int32_t inStatus, std::string& outProblem) override {
        saves.push_back(inStatus);
        awakeAtSaves.push_back(awake);
        outProblem = saveFailure;
        if (saveFailure.empty()) {
            stored = inStatus;
        }
        return saveFailure.empty();
    }
    void log(const std::string& inLine) override { logged.push_back(inLine); }
    std::string powerProblem() override {
        if (lowPower.empty()) {
            return {};
        }
        std::string low = lowPower.front();
        lowPower.pop_front();
        return low;
    }
    void keepAwake(bool inAwake) override {
        EXPECT_NE(awake, inAwake) << "kept awake twice, or released twice";
        awake = inAwake;
        shown.push_back(inAwake ? "awake" : "asleep");
    }
    bool deviceReceivedTheImage() override { return receivedTheImage; }
    void setMessage(const std::string&) override {}
    void setProgress(int inCurrent, int) override {
        progress.push_back(inCurrent);
        if (onProgress) {
            onProgress();
        }
    }
    void hideWindow() override { shown.push_back("hide"); }

  private:
    int waitForAbort() {
        std::unique_lock<std::mutex> lock(mMutex);
        if (!mWake.wait_for(lock, std::chrono::seconds(20), [this] { return mAborted; })) {
            ADD_FAILURE() << "the wait was never aborted";
            return kAlertFirstButtonReturn;
        }
        mAborted = false;
        return kModalResponseAbort;
    }
    std::mutex mMutex;
    std::condition_variable mWake;
    bool mAborted = false;
};

const Answer kWait;                                        // a wait: until the device answers
const Answer kOK = [] { return kAlertFirstButtonReturn; }; // also "Cancel" on "Waiting..."
const Answer kCancel = [] { return kAlertSecondButtonReturn; };

class Workflow : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(MIDIServiceInstallDriver(mService), noErr);
        SFirmwareImage image;
        for (std::uint32_t i = 0; i < 20; ++i) { // no tempo: every message at once
            image.messages.push_back({i, makeFirmwareMessage(i, 64, 1)});
        }
        mUI.image = buildFirmwareImage(image);
    }
    void TearDown() override {
        mDevice.reset();
        CVYRController::terminate();
        (void)MIDIServiceInstallDriver(nullptr);
    }

    /// The device sends a heartbeat (when it is in normal mode) whenever the workflow waits.
    void plugIn(SSimulatedDeviceOptions inOptions = {}) {
        inOptions.behaviour.heartbeatPeriod = {};
        mDevice = std::make_unique<CSimulatedVYRDevice>(mService, inOptions);
        mClock.onWait([this](Nanoseconds) {
            mDevice->sendHeartbeat();
            mService->waitUntilDelivered();
        });
    }
    /// The user's "OK" on the update-mode prompt, having switched the device first.
    Answer switchAndOK() {
        return [this] {
            mDevice->switchToUpdateMode();
            mService->waitUntilDelivered();
            return kAlertFirstButtonReturn;
        };
    }
    /// One launch to termination.
    ELaunchOutcome launch() {
        VYRAppDelegate delegate(mUI);
        delegate.applicationDidFinishLaunching();
        delegate.applicationWillTerminate();
        EXPECT_TRUE(mUI.script.empty()) << mUI.script.size() << " answers left over";
        return delegate.outcome();
    }

    CManualClock mClock;
    std::shared_ptr<CVirtualMIDIService> mService = std::make_shared<CVirtualMIDIService>();
    std::unique_ptr<CSimulatedVYRDevice> mDevice;
    CScriptedUI mUI;
};

const std::string kWaiting = "Waiting...";
const std::string kReady = "Ready";
const std::string kPrompt = "Please change VYR to update mode.";
const std::string kComplete = "Complete";

// A prompt that cannot back out ("Ready" has one button) still ends the run at a stop, with
// nothing sent and no prompt after it.
TEST_F(Workflow, AStopAtReadyEndsTheRun) {
    plugIn();
    mUI.script = {kWait, [this] {
                      mUI.stopped = true;
                      return kAlertFirstButtonReturn;
                  }};
    EXPECT_EQ(launch(), ELaunchOutcome::kCancelled);
    EXPECT_EQ(mUI.shown, (std::vector<std::string>{kWaiting, kReady}));
    EXPECT_FALSE(mUI.stored.has_value());
}

TEST_F(Workflow, FirstRunUpdatesTheDeviceAndRemembersIt) {
    plugIn();
    std::vector<std::optional<std::int32_t>> seen; // stored while the transfer runs
    mUI.onProgress = [&] { seen.push_back(mUI.stored); };
    const Answer completeIsStored = [this] {
        EXPECT_EQ(mUI.stored, 2) << "stored before the notice, not after it";
        return kAlertFirstButtonReturn;
    };
    mUI.script = {kWait, kOK, switchAndOK(), completeIsStored};
    EXPECT_EQ(launch(), ELaunchOutcome::kCompleted);
    EXPECT_EQ(mUI.shown, (std::vector<std::string>{kWaiting, kReady, kPrompt, "awake", "asleep",
                                                   "hide", kComplete}));
    EXPECT_EQ(mUI.progress.front(), 0);
    EXPECT_EQ(mUI.progress.back(), 95);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), 1);
    EXPECT_EQ(mUI.saves, (std::vector<std::int32_t>{1, 2, 2})) << "begun, done, at the end";
    EXPECT_EQ(mUI.awakeAtSaves, (std::vector<bool>{true, true, false}))
        << "awake from before \"transfer begun\" to the transfer's end";
    EXPECT_EQ(mDevice->received().size(), 20u);
}

// Only 0 waits for the device: also a store without a status. One that could not be read
// is told and counts as a transfer that may have begun: no wait for a heartbeat that a
// device left in update mode never sends.
TEST_F(Workflow, StoredStatusSkipsTheWait) {
    for (std::int32_t stored : {1, 2, -3}) {
        mUI.stored = stored;
        mUI.shown.clear();
        mUI.saves.clear();
        mUI.script = {kCancel};
        EXPECT_EQ(launch(), ELaunchOutcome::kCancelled);
        EXPECT_EQ(mUI.shown, (std::vector<std::string>{kPrompt})) << stored;
        EXPECT_EQ(mUI.saves, (std::vector<std::int32_t>{stored})) << "a cancel keeps it";
    }
    const std::string earlier = "An earlier update got as far as the transfer, so this one goes "
                                "straight to the update-mode prompt.";
    EXPECT_EQ(mUI.notices, (std::vector<std::string>{"Resuming the update that was begun before.",
                                                     earlier, earlier}));

    mUI.stored = 0;
    mUI.loadProblem = "status.plist: permission denied";
    mUI.shown.clear();
    mUI.script = {kCancel};
    launch();
    EXPECT_EQ(mUI.shown, (std::vector<std::string>{kPrompt}));
    EXPECT_EQ(mUI.notices.back().find(mUI.loadProblem + "\nA transfer may have begun"), 0u);
}

TEST_F(Workflow, DeviceInNormalModeShows1002AndAsksAgain) {
    plugIn();
    mUI.script = {kWait, kOK, kOK, switchAndOK(), kOK};
    EXPECT_EQ(launch(), ELaunchOutcome::kCompleted);
    EXPECT_EQ(mUI.shown, (std::vector<std::string>{kWaiting, kReady, kPrompt, "error 1002", kPrompt,
                                                   "awake", "asleep", "hide", kComplete}));
}

TEST_F(Workflow, FailedTransferShows1001AndTheNextRunResumes) {
    plugIn({.refuseSendsFrom = 5});
    mUI.script = {kWait, kOK, switchAndOK()};
    EXPECT_EQ(launch(), ELaunchOutcome::kTransferFailed);
    EXPECT_EQ(mUI.shown, (std::vector<std::string>{kWaiting, kReady, kPrompt, "awake", "asleep",
                                                   "error 1001"}));
    EXPECT_EQ(mUI.saves, (std::vector<std::int32_t>{1, 1}));

    // The device stays in update mode, silent: the next launch goes straight to the prompt.
    mService->clearFaults();
    mUI.shown.clear();
    mUI.script = {kOK, kOK};
    EXPECT_EQ(launch(), ELaunchOutcome::kCompleted);
    EXPECT_EQ(mUI.shown, (std::vector<std::string>{kPrompt, "awake", "asleep", "hide", kComplete}));
    EXPECT_EQ(mUI.stored, 2);
}

// Without a stored status an interrupted transfer could not be resumed: the user is told
// why before the transfer, and may go on or stop.
TEST_F(Workflow, UnwritableStatusIsToldBeforeTheTransfer) {
    plugIn();
    mUI.saveFailure = "x.plist: cannot write: No such file or directory";
    mUI.script = {kWait, kOK, switchAndOK(), kCancel};
    EXPECT_EQ(launch(), ELaunchOutcome::kCancelled);
    EXPECT_EQ(mUI.shown, (std::vector<std::string>{kWaiting, kReady, kPrompt, "awake",
                                                   kStatusNotSaved, "asleep"}));
    EXPECT_TRUE(mDevice->received().empty());
    EXPECT_EQ(mUI.logged,
              (std::vector<std::string>{"Failed to save the preference data.", mUI.saveFailure}));

    mDevice.reset();
    plugIn();
    mUI.shown.clear();
    mUI.script = {kWait, kOK, switchAndOK(), kOK, kOK};
    EXPECT_EQ(launch(), ELaunchOutcome::kCompleted);
    EXPECT_EQ(mUI.shown, (std::vector<std::string>{kWaiting, kReady, kPrompt, "awake",
                                                   kStatusNotSaved, "asleep", "hide", kComplete}));
}

// A flat battery cuts a transfer short: on a low one the user is asked to connect power
// before the update-mode prompt, and only a check that finds enough power goes on.
TEST_F(Workflow, LowBatteryIsToldBeforeTheUpdateModePrompt) {
    const std::string low = "The computer runs on battery, at 10 %.";
    plugIn();
    mUI.lowPower = {low, low};
    mUI.script = {kWait, kOK, kCancel};
    EXPECT_EQ(launch(), ELaunchOutcome::kCancelled);
    EXPECT_EQ(mUI.shown, (std::vector<std::string>{kWaiting, kReady, kLowBattery}));

    mUI.shown.clear();
    // Connected to power before the second check.
    mUI.script = {kWait, kOK, kOK, switchAndOK(), kOK};
    EXPECT_EQ(launch(), ELaunchOutcome::kCompleted);
    EXPECT_EQ(mUI.shown, (std::vector<std::string>{kWaiting, kReady, kLowBattery, kPrompt, "awake",
                                                   "asleep", "hide", kComplete}));
}

// A device that got something other than the image has no new firmware, whatever was sent.
TEST_F(Workflow, DeviceThatReceivedSomethingElseIsACommunicationError) {
    plugIn();
    mUI.receivedTheImage = false;
    mUI.script = {kWait, kOK, switchAndOK()};
    EXPECT_EQ(launch(), ELaunchOutcome::kTransferFailed);
    EXPECT_EQ(mUI.shown, (std::vector<std::string>{kWaiting, kReady, kPrompt, "awake", "asleep",
                                                   "error 1001"}));
    EXPECT_EQ(mUI.stored, 1);
}

TEST(ToolError, MessagesByCode) {
    CScriptedUI ui;
    for (int code : {1000, 1001, 1002, 1003, 42}) {
        EXPECT_EQ(displayToolError(ui, code), kAlertFirstButtonReturn);
    }
    EXPECT_EQ(ui.errors, (std::vector<std::string>{
                             "Please check that VYR is connected.", "Communication error.",
                             "Please check that VYR is connected in update mode.",
                             "Unexpected error.", "Unexpected error."}));
}

} // namespace
