// The update workflow's front-end on a terminal.
//
// A modal alert prints its message and buttons and reads one answer line: an empty line
// picks the first button; a button's title, its first letter or its number picks that
// button; the end of input (Ctrl-D) picks the last, the one that backs out. What was typed
// before a prompt appeared is discarded. While it waits, the main event loop keeps turning
// and abortModal (any thread) ends the wait. Unattended (--yes), every prompt is answered
// with its first button, a wait that ends by itself is bounded, a device that went away is
// waited for before a prompt is answered again, and a prompt repeated after the same error
// is given up after a few answers. A stop request (Shell/Launch/StopRule.h) backs out of
// the open or next prompt; during the transfer the rule's warning goes to standard error.
// The progress view is one redrawn line,
// as wide as the terminal, on a terminal, and plain lines otherwise; diagnostics from any
// thread go to the error stream on lines of their own, never into the bar, as do errors.
#pragma once

#include "Shell/UserInterface.h"

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

struct STerminalOptions {
    bool unattended = false;       // --yes
    double deviceWaitSeconds = 60; // unattended: how long "Waiting..." may last
    int promptRepeats = 3;         // unattended: answers to a prompt repeated after an error
    // Unattended: whether the device is listed; after an error that found none, it is
    // waited for (up to deviceWaitSeconds) before the prompt is answered again.
    std::function<bool()> deviceListed = [] { return true; };
    int inputFd = 0;
    std::FILE* output = stdout;
    std::FILE* errors = stderr; // error alerts and diagnostics
};

class CTerminalUI : public CFrontEnd, private CProgressDisplay {
  public:
    /// Routes the diagnostic lines through this front-end while it exists.
    explicit CTerminalUI(STerminalOptions inOptions);
    ~CTerminalUI() override;

    CTerminalUI(const CTerminalUI&) = delete;
    CTerminalUI& operator=(const CTerminalUI&) = delete;

    int runModal(const SAlert& inAlert) override;
    void abortModal() override;
    int showError(const std::string& inMessage, int inCode) override;
    CProgressDisplay& showProgressView() override;
    void showNotice(const std::string& inText) override;
    bool stopRequested() const override;

    /// True when an unattended run gave up: no device in time, or a prompt failed repeatedly.
    bool gaveUp() const { return !mGaveUpBecause.empty(); }
    /// Why it gave up, for people and scripts ("" when it did not).
    const std::string& gaveUpBecause() const { return mGaveUpBecause; }
    /// The message of the last error alert, on one line ("" when none came).
    const std::string& lastError() const { return mLastError; }

  private:
    void setMessage(const std::string& inText) override;
    void setProgress(int inCurrent, int inMaximum) override;
    void hideWindow() override;

    /// Prints the alert on inStream and waits for its answer.
    int ask(const SAlert& inAlert, std::FILE* inStream);
    int answerUnattended(const SAlert& inAlert, std::FILE* inStream);
    /// Backs out of inAlert (its last button), saying that a signal asked it to.
    int stoppedBySignal(const SAlert& inAlert, std::FILE* inStream);
    /// Unattended, after an error that found no device: waits until it is listed again.
    /// False when it did not come in time or a stop signal came.
    bool waitForDevice(const SAlert& inAlert, std::FILE* inStream);
    /// Waits for an answer line or an abort; kModalResponseAbort, a button's result, or -1
    /// when the input ended or the unattended wait ran out.
    int waitForAnswer(const SAlert& inAlert, std::FILE* inStream, bool inReadInput,
                      double inTimeoutSeconds);
    int buttonFor(const SAlert& inAlert, const std::string& inAnswer) const;
    /// Ends an open progress line; with mOutputMutex held.
    void endProgressLine();
    static void diagnosticLine(const char* inLine);

    STerminalOptions mOptions;
    bool mTerminalInput = false;
    bool mTerminalOutput = false;
    int mWakeRead = -1;
    int mWakeWrite = -1;
    std::string mPendingInput;
    std::mutex mOutputMutex; // the progress line against diagnostics from other threads
    std::string mProgressMessage;
    int mLastPercent = -1;
    int mLoggedTenth = -1;
    bool mProgressLineOpen = false;
    std::string mGaveUpBecause;
    std::string mLastError;
    std::string mLastPromptKey; // unattended: the prompt answered last
    int mRepeats = 0;
    bool mErrorSincePrompt = false;
    bool mDeviceMissing = false; // unattended: the last error found no device
};
