// --yes: a front-end of its own that answers every prompt for the front-end it wraps, which
// only shows the prompts and the answers. The first button answers, "Waiting..." is bounded,
// a device that went away after an error is waited for before the prompt is answered again,
// a prompt that keeps failing with the same error is given up after a few answers, and a
// prompt that only a person may answer (a low battery) is given up at once. A stop request
// backs out, as it does for the wrapped front-end.
#pragma once

#include "Shell/UserInterface.h"

#include <functional>
#include <string>

struct SUnattendedOptions {
    double deviceWaitSeconds = 60; // how long "Waiting..." may last (--wait)
    int promptRepeats = 3;         // answers to a prompt repeated after an error (--tries)
    // Whether the device is listed; after an error that found none, it is waited for (up to
    // deviceWaitSeconds) before the prompt is answered again.
    std::function<bool()> deviceListed = [] { return true; };
};

/// What a front-end offers an unattended run besides CFrontEnd: prompts shown with no choice
/// to make, the lines that say how they were answered, and a wait without anybody to ask.
class CAnswerDisplay {
  public:
    virtual ~CAnswerDisplay() = default;
    /// Shows a prompt's message.
    virtual void showPrompt(const SAlert& inAlert) = 0;
    /// Shows an error alert as the front-end shows errors.
    virtual void showErrorPrompt(const std::string& inMessage, int inCode) = 0;
    /// One line under the last prompt or error: how it was answered, or what is waited for.
    virtual void showAnswer(const std::string& inLine) = 0;
    /// Waits up to inSeconds, the main loop turning, for abortModal: true when it came, false
    /// when the time ran out or a stop was asked for. Main thread.
    virtual bool waitForAbort(double inSeconds) = 0;
};

class CUnattended final : public CFrontEnd {
  public:
    CUnattended(CFrontEnd& inFrontEnd, CAnswerDisplay& inDisplay, SUnattendedOptions inOptions)
        : mFrontEnd(inFrontEnd), mDisplay(inDisplay), mOptions(std::move(inOptions)) {}

    int runModal(const SAlert& inAlert) override;
    void abortModal() override { mFrontEnd.abortModal(); }
    int showError(const std::string& inMessage, int inCode) override;
    CProgressDisplay& showProgressView() override { return mFrontEnd.showProgressView(); }
    bool runLongStep(ELongStep inStep, const std::function<bool()>& inRun) override {
        return mFrontEnd.runLongStep(inStep, inRun);
    }
    void showNotice(const std::string& inText) override { mFrontEnd.showNotice(inText); }
    bool stopRequested() const override { return mFrontEnd.stopRequested(); }

    /// Why it gave up: no device in time, a prompt that failed again and again, one that
    /// only a person may answer; "" when it did not.
    const std::string& gaveUpBecause() const { return mGaveUpBecause; }
    /// The message of the last error alert, on one line ("" when none came).
    const std::string& lastError() const { return mLastError; }

  private:
    /// "Waiting...": answered when the device answers, given up when it does not in time.
    int waitForTheDevice(const SAlert& inAlert);
    /// After an error that found no device: waits until it is listed again. False when it
    /// did not come in time or a stop came.
    bool waitForADeviceThatWentAway(const SAlert& inAlert);
    /// Answers with inAlert's last button (backing out), saying why.
    int backOut(const SAlert& inAlert, const std::string& inWhy);

    CFrontEnd& mFrontEnd;
    CAnswerDisplay& mDisplay;
    SUnattendedOptions mOptions;
    std::string mGaveUpBecause;
    std::string mLastError;
    std::string mLastPromptKey; // the prompt answered last
    int mRepeats = 0;
    bool mErrorSincePrompt = false;
    bool mDeviceMissing = false; // the last error found no device
};
