// The update workflow's front-end on a terminal.
//
// A modal alert prints its message and buttons and reads one answer line: an empty line
// picks the first button; a button's title, its first letter or its number picks that
// button. While it waits, the main event loop keeps turning and abortModal (any thread)
// ends the wait. Unattended (--yes), every prompt is answered with its first button, a
// wait that ends by itself is bounded, and a prompt repeated after the same error is given
// up after a few answers. The progress view is one redrawn line on a terminal, plain lines
// otherwise.
#pragma once

#include "Shell/UserInterface.h"

#include <cstdio>
#include <string>

struct STerminalOptions {
    bool unattended = false;       // --yes
    double deviceWaitSeconds = 60; // unattended: how long "Waiting..." may last
    int promptRepeats = 3;         // unattended: answers to a prompt repeated after an error
    int inputFd = 0;
    std::FILE* output = stdout;
};

class CTerminalUI : public CFrontEnd, private CProgressDisplay {
  public:
    explicit CTerminalUI(STerminalOptions inOptions);
    ~CTerminalUI() override;

    CTerminalUI(const CTerminalUI&) = delete;
    CTerminalUI& operator=(const CTerminalUI&) = delete;

    int runModal(const SAlert& inAlert) override;
    void abortModal() override;
    int showError(const std::string& inMessage, int inCode) override;
    CProgressDisplay& showProgressView() override;

    /// True when an unattended run gave up: no device in time, or a prompt failed repeatedly.
    bool gaveUp() const { return mGaveUp; }

  private:
    void setMessage(const std::string& inText) override;
    void setProgress(int inCurrent, int inMaximum) override;
    void hideWindow() override;

    int answerUnattended(const SAlert& inAlert);
    /// Waits for an answer line or an abort; kModalResponseAbort, a button's result, or -1
    /// when the input ended or the unattended wait ran out.
    int waitForAnswer(const SAlert& inAlert, bool inReadInput, double inTimeoutSeconds);
    int buttonFor(const SAlert& inAlert, const std::string& inAnswer) const;
    void endProgressLine();

    STerminalOptions mOptions;
    bool mTerminalOutput = false;
    bool mInputEnded = false;
    int mWakeRead = -1;
    int mWakeWrite = -1;
    std::string mPendingInput;
    std::string mProgressMessage;
    int mLastPercent = -1;
    int mLoggedTenth = -1;
    bool mProgressLineOpen = false;
    bool mGaveUp = false;
    std::string mLastPromptKey; // unattended: the prompt answered last
    int mRepeats = 0;
    bool mErrorSincePrompt = false;
};
