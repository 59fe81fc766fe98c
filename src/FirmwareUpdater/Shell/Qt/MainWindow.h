// The updater's main window: what is being updated (the device, the firmware image), the
// steps from connecting to "Complete" with the current one marked and what to do in it,
// notices and warnings, during the transfer the bar with the time left, and at the end the
// result. The workflow's prompts open over it.
#pragma once

#include "MainThreadCall.h"
#include "Shell/UserInterface.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <array>
#include <atomic>
#include <functional>

class CMainWindow final : public QWidget, public CProgressDisplay {
  public:
    CMainWindow();

    /// Called when the user closes the window; it stays open when this returns false.
    void onClose(std::function<bool()> inHandler) { mOnClose = std::move(inHandler); }
    /// Marks the step that the prompt with this key (its English message) belongs to, if any.
    void showStep(const std::string& inPromptKey);
    /// Called whenever a step is marked (step() and reached() tell which).
    void onStep(std::function<void()> inHandler) { mOnStep = std::move(inHandler); }
    void showDevice(const QString& inText);
    /// The firmware image; inSeconds is how long its transfer takes.
    void showImage(const QString& inText, double inSeconds);
    /// Shows the progress view and brings the window to the front.
    void showProgressView();
    void showNotice(const QString& inText);
    void showWarning(const QString& inText);
    /// An error: the marked step failed, and its guidance ("Do not disconnect…") and the
    /// progress view are over. The next step marked goes on from there.
    void showFailure();
    /// The end: the steps show where it ended (all done when inCompleted, else the marked
    /// one failed), inText says how and what to do next, a button closes the window and,
    /// when inTryAgain is given, another one calls it.
    void showResult(const QString& inText, bool inCompleted, std::function<void()> inTryAgain = {});
    /// Runs inStart once the window manager has placed the window (or after a second), so
    /// that a prompt it opens comes over the window.
    void runWhenPlaced(std::function<void()> inStart);

    void setMessage(const std::string& inText) override;
    /// Any thread: the bar moves on the main thread, so whoever calls never waits for the
    /// display, and once a second at most (a repaint costs more than the sending).
    void setProgress(int inCurrent, int inMaximum) override;
    void hideWindow() override;

    const QProgressBar& bar() const { return *mBar; }
    QString message() const { return mMessage->text(); }
    bool warns() const { return !mWarning->isHidden(); }
    /// The marked step, 0 to 4 (-1: none yet).
    int step() const { return mStep; }
    /// Whether the run went through step inStep (a resumed run passes over the first two).
    bool reached(int inStep) const { return mReached[static_cast<std::size_t>(inStep)]; }
    /// What a screen reader says of step inStep ("Transfer: failed").
    QString stepState(int inStep) const {
        return mSteps[static_cast<std::size_t>(inStep)]->accessibleName();
    }

  protected:
    void closeEvent(QCloseEvent* inEvent) override;
    void showEvent(QShowEvent* inEvent) override;

  private:
    struct alignas(8) SProgress { // aligned: lock-free as one word
        int current = 0;
        int maximum = 100;
    };

    enum class EStepState { kNotYet, kCurrent, kDone, kSkipped, kFailed };

    void markStep(int inStep);
    void showStepState(int inStep, EStepState inState);
    void showLatestProgress();

    std::array<QLabel*, 5> mSteps{};
    std::array<bool, 5> mReached{}; // steps whose prompt came (a resumed run passes over some)
    QLabel* mDevice;
    QLabel* mImage;
    QLabel* mGuidance;
    QLabel* mNotice;
    QLabel* mWarning;
    QLabel* mMessage;
    QProgressBar* mBar;
    QLabel* mTimeLeft;
    QLabel* mResult;
    QPushButton* mTryAgain = nullptr;
    QPushButton* mClose = nullptr;
    QElapsedTimer mTransferClock;
    QElapsedTimer mProgressShown;
    std::atomic<SProgress> mLatestProgress;
    std::atomic<bool> mProgressPending{false};
    CMainThreadCall mShowProgress{[this] { showLatestProgress(); }};
    double mImageSeconds = 0;
    int mStep = -1;
    bool mFitted = false; // to the screen, when first shown
    std::function<bool()> mOnClose;
    std::function<void()> mOnStep;
    QTimer mStart; // polls for the window's placing, for runWhenPlaced
};
