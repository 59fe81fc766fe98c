// The small port through which the update workflow uses its front-end: modal alerts, the
// progress view, resources, the stored status and the log. A front-end implements CFrontEnd (a
// modal alert maps to a nested modal loop, abortModal to ending it from another thread with -1001);
// the launch path adds the rest.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

/// The firmware image the workflow plays, by resource name and type.
inline constexpr const char* kFirmwareResourceName = "VYR_Firm_ver200main";
inline constexpr const char* kFirmwareResourceType = "bin";

/// Results of a modal alert, numbered as the platform the workflow was designed for does.
inline constexpr int kAlertFirstButtonReturn = 1000;
inline constexpr int kAlertSecondButtonReturn = 1001;
inline constexpr int kModalResponseAbort = -1001;

struct SAlert {
    std::string key;                  // the English message: which alert this is, in any language
    std::string message;              // the message as shown
    std::vector<std::string> buttons; // one or two titles, first button first
    bool endsByItself = false;        // a wait that another thread ends with abortModal
    bool onlyAPersonAnswers = false;  // unattended, the run gives up here, the message saying why
};

/// The result of a modal alert's button inIndex (0: the first).
inline int resultOfButton(std::size_t inIndex) {
    return kAlertFirstButtonReturn + static_cast<int>(inIndex);
}
/// The result of an alert's last button, the one that backs out.
inline int resultOfLastButton(const SAlert& inAlert) {
    return resultOfButton(inAlert.buttons.size() - 1);
}

/// The workflow's steps that take long without a prompt open.
enum class ELongStep {
    kSilenceCheck, // the device must fall silent for a second: nothing sent yet
    kTransfer,     // the firmware is sent: stopping leaves the device in update mode
};

/// The view the workflow places in the main window during the transfer.
class CProgressDisplay {
  public:
    virtual ~CProgressDisplay() = default;
    virtual void setMessage(const std::string& inText) = 0;
    virtual void setProgress(int inCurrent, int inMaximum) = 0;
    /// Takes the window holding the view off the screen.
    virtual void hideWindow() = 0;
};

/// What a front-end (a terminal, a window) provides: prompts and the progress view.
class CFrontEnd {
  public:
    virtual ~CFrontEnd() = default;

    /// Shows inAlert and waits until one of its buttons ends it (kAlertFirstButtonReturn,
    /// kAlertSecondButtonReturn) or abortModal does (kModalResponseAbort). The main event
    /// loop keeps turning meanwhile. Main thread.
    virtual int runModal(const SAlert& inAlert) = 0;
    /// Any thread: ends the running modal loop with kModalResponseAbort, or the next one to
    /// start if none runs now.
    virtual void abortModal() = 0;
    /// Shows an error alert made from a message and a code; returns its modal result.
    virtual int showError(const std::string& inMessage, int inCode) = 0;
    /// Places the progress view in the main window and brings the window to the front.
    virtual CProgressDisplay& showProgressView() = 0;
    /// Runs a long step and returns its result, or throws what it threw. The main loop's
    /// timers do not run meanwhile. A window runs it on a thread of its own so that it stays
    /// responsive and the firmware's timing never waits for the display; the progress view
    /// is then updated from that thread. Main thread.
    virtual bool runLongStep(ELongStep, const std::function<bool()>& inStep) { return inStep(); }
    /// A line for the user that needs no answer (a resumed update, a status file set aside).
    virtual void showNotice(const std::string& inText) = 0;
    /// True once the user asked the program to stop (SIGINT, SIGTERM): no transfer may
    /// begin then. Main thread.
    virtual bool stopRequested() const { return false; }
};

/// The whole port the workflow uses: the front-end, plus what every front-end shares
/// (resources, the stored update status and the log), which the launch path supplies.
class CUserInterface : public CFrontEnd {
  public:
    /// The bytes of a named resource, or nothing when it cannot be found or read.
    virtual std::optional<std::vector<std::uint8_t>> resource(const std::string& inName,
                                                              const std::string& inType) = 0;
    /// Reads the stored update status: false when none is stored yet. When a store could not
    /// be read, outProblem says what was done with it (else "").
    [[nodiscard]] virtual bool loadStatus(std::int32_t& outStatus, std::string& outProblem) = 0;
    /// Stores inStatus, whole or not at all: false with the reason in outProblem.
    [[nodiscard]] virtual bool saveStatus(std::int32_t inStatus, std::string& outProblem) = 0;
    /// One line for the system log.
    virtual void log(const std::string& inLine) = 0;
    /// "" when the computer's power allows a transfer; else why not (a low battery), as a
    /// sentence for the user.
    virtual std::string powerProblem() = 0;
    /// inAwake: from now on the computer neither sleeps nor shuts down, until keepAwake(false)
    /// (or the process ends); a notice says so when it cannot be kept awake. Main thread.
    virtual void keepAwake(bool inAwake) = 0;
    /// After a transfer that sent every message: false when the device is known to have
    /// received something else (a simulated device can tell; the error then says what).
    [[nodiscard]] virtual bool deviceReceivedTheImage() = 0;
};
