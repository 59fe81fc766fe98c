// The update workflow's front-end on a terminal.
//
// A modal alert prints its message and buttons and reads one answer line: an empty line
// picks the first button; a button's title, its first letter or its number picks that
// button; the end of input (Ctrl-D) picks the last, the one that backs out. What was typed
// before a prompt appeared is discarded. While it waits, the main event loop keeps turning
// and abortModal (any thread) ends the wait. For --yes it shows the prompts and the answers
// that Shell/Launch/Unattended gives. A stop request (Shell/Launch/StopRule.h) backs out of
// the open or next prompt; during the transfer the rule's warning goes to standard error.
// The progress view is one redrawn line, as wide as the terminal, on a terminal, and plain
// lines otherwise; diagnostics from any thread go to the error stream on lines of their own,
// never into the bar, as do errors.
#pragma once

#include "Shell/Launch/Unattended.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

struct STerminalOptions {
    double transferSeconds = 0; // how long the image plays (the time left is shown); 0: unknown
    int inputFd = 0;
    std::FILE* output = stdout;
    std::FILE* errors = stderr; // error alerts and diagnostics
};

class CTerminalUI : public CFrontEnd, public CAnswerDisplay, private CProgressDisplay {
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

    // CAnswerDisplay
    void showPrompt(const SAlert& inAlert) override;
    void showErrorPrompt(const std::string& inMessage, int inCode) override;
    void showAnswer(const std::string& inLine) override;
    bool waitForAbort(double inSeconds) override;

  private:
    void setMessage(const std::string& inText) override;
    void setProgress(int inCurrent, int inMaximum) override;
    void hideWindow() override;

    /// Prints the alert on inStream and waits for its answer.
    int ask(const SAlert& inAlert, std::FILE* inStream);
    /// Backs out of inAlert (its last button), saying that a signal asked it to.
    int stoppedBySignal(const SAlert& inAlert, std::FILE* inStream);
    /// Waits for an answer line or an abort; kModalResponseAbort, a button's result, or -1
    /// when the input ended or the unattended wait ran out.
    int waitForAnswer(const SAlert& inAlert, std::FILE* inStream, bool inReadInput,
                      double inTimeoutSeconds);
    int buttonFor(const SAlert& inAlert, const std::string& inAnswer) const;
    /// An error alert's text: its code, message and what to do next.
    static std::string errorText(const std::string& inMessage, int inCode);
    /// Prints a prompt's or an error's text on inStream, the progress line ended first.
    void show(const std::string& inMessage, std::FILE* inStream);
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
    std::chrono::steady_clock::time_point mTransferStart;
    std::size_t mDrawnWidth = 0; // of the progress line drawn last
    int mLoggedTenth = -1;
    bool mProgressLineOpen = false;
    std::FILE* mAnswerStream = stdout; // where the last prompt shown without a choice went
};
