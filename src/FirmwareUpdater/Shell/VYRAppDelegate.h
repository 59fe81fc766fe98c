// The update workflow: one update per launch, from waiting for the device's heartbeat to
// "Complete", with the update status remembered through the port (the preference file).
//
// Portable: it talks to its front-end only through CUserInterface. Everything runs on the
// main thread except the background poll for the device during "Waiting..." and the long
// steps (the silence check, the transfer), which the front-end may run on a thread of
// their own while the main thread waits.
#pragma once

#include "Localization.h"
#include "ProgressViewController.h"
#include "UserInterface.h"

#include "Platform/Clock.h"

#include <cstdint>
#include <memory>
#include <thread>

/// How the launch sequence ended, for the front-end's exit status.
enum class ELaunchOutcome {
    kCancelled,       // the user cancelled a prompt (also the initial state)
    kCompleted,       // "Complete" was acknowledged
    kTransferFailed,  // "Communication error."
    kUnexpectedError, // "Unexpected error."
};

/// The prompt's key that asks the user to switch the device to update mode.
inline constexpr const char* kUpdateModePrompt = N_("Please change VYR to update mode.");

/// The question asked when the computer runs on a low battery.
inline constexpr const char* kLowBattery =
    N_("Connect the computer to power before the update: if the battery runs out during the "
       "transfer, VYR is left in update mode. (To update on battery anyway, start the updater "
       "with --ignore-power.)");

/// The question asked when the status cannot be written before the transfer.
inline constexpr const char* kStatusNotSaved = N_("The update status cannot be saved.");

/// Update status values, persisted under "Status".
inline constexpr std::int32_t kStatusNothingBegun = 0;
inline constexpr std::int32_t kStatusTransferBegun = 1;
inline constexpr std::int32_t kStatusTransferCompleted = 2;

class VYRAppDelegate {
  public:
    explicit VYRAppDelegate(CUserInterface& inUI);
    /// Stops the background poll if it still runs.
    ~VYRAppDelegate();

    VYRAppDelegate(const VYRAppDelegate&) = delete;
    VYRAppDelegate& operator=(const VYRAppDelegate&) = delete;

    /// The launch sequence: the whole update.
    void applicationDidFinishLaunching();
    /// Saves the status (when not 0) and ends the controller.
    void applicationWillTerminate();

    /// False when no status is stored; otherwise the stored status becomes mStatus. A store
    /// that could not be read is told to the user and counts as a transfer that may have
    /// begun.
    bool loadPreferenceData();
    /// Stores mStatus unless it is 0; false when it could not be stored (logged).
    [[nodiscard]] bool savePreferenceData();
    /// "Waiting..." until the device answers (true) or the user cancels (false).
    bool waitForConnectToVYR();
    /// The background poll: opens the device and waits for its heartbeat. Returns true when
    /// it answers, false only when the poll is stopped.
    bool checkHeartbeat();
    /// "Please change VYR to update mode." until the device opens in update mode (true) or
    /// the user cancels (false).
    bool waitForUpdateMode();
    /// Plays the firmware image with the progress view; true after "Complete".
    bool runUpdate();
    /// A transfer cut short by a flat battery leaves the device in update mode: on a low
    /// battery, asks the user to connect power until the power allows it (true) or they
    /// cancel (false).
    bool powerAllowsUpdate();

    /// An alert with a localised message (inKey is its English text) and one or two buttons.
    static SAlert createAlertWithMessage(const char* inKey, const char* inButton1,
                                         const char* inButton2 = nullptr);

    std::int32_t mStatus() const { return mStatusValue; }
    ELaunchOutcome outcome() const { return mOutcome; }
    /// True when this run went on with a transfer that an earlier run had begun.
    bool resumed() const { return mResumed; }
    ProgressViewController* mViewController() const { return mProgress.get(); }

  private:
    /// Sets the status and writes it at once, so a crash or a kill during the transfer still
    /// leaves "transfer begun" on disk, and a completed transfer is on record before its
    /// notice. False when it could not be written.
    [[nodiscard]] bool setStatus(std::int32_t inStatus);
    /// The status cannot be written as the transfer begins: tells the user why, and asks
    /// whether to go on (true) though an interrupted transfer could not be resumed.
    bool goOnWithoutStatus();
    /// Waits inSeconds on the clock in use; false when the poll was stopped meanwhile.
    bool pollSleep(double inSeconds);
    void stopPoll();

    CUserInterface& mUI;
    std::string mSaveProblem; // why the status could not be stored last, or ""
    std::int32_t mStatusValue = kStatusNothingBegun;
    ELaunchOutcome mOutcome = ELaunchOutcome::kCancelled;
    bool mResumed = false;
    bool mStatusUnreadable = false;
    std::unique_ptr<ProgressViewController> mProgress;

    CWakeup mPollStop;
    std::thread mPoll;
};

/// Shows the error alert for inCode: 1000, 1001, 1002 their messages, anything else
/// "Unexpected error.". Returns the alert's modal result.
int displayToolError(CUserInterface& inUI, std::int32_t inCode);

/// What the user can do next after the error alert for inCode, or null.
const char* adviceAfterError(std::int32_t inCode);

/// True when inCode says that no device was there to open: an unattended front-end waits
/// for one to come back before it answers the prompt again.
bool errorMeansNoDevice(std::int32_t inCode);

/// The playback's progress callback; inContext is the ProgressViewController.
bool updateProgress(int inPercent, void* inContext);
