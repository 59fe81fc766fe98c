// The update workflow's front-end in a window (Qt Widgets).
//
// Every prompt is a message box over the main window whose buttons give 1000 and 1001. It
// is not modal, so the window's close button still reaches the window while it is open.
// abortModal may come from the poll thread: it becomes a call on the main thread (see
// MainThreadCall.h), which ends the open box with -1001, or the next one if none is open yet.
//
// A stop request (the window's close button, or a signal as Shell/Launch/StopRule.h rules)
// backs out of every prompt from then on, so the workflow ends and saves its status on the
// way. The long steps (the silence check, the transfer) run on a thread of their own while
// the window stays responsive. During the transfer closing the window asks first, and the
// rule's warning shows in the window: stopping then leaves the device in update mode.
// Confirming the question stops at once. Qt ends the process when it loses the display; a
// long step under way ends first, and a completed transfer is no failure.
#pragma once

#include "MainLoopTimers.h"
#include "MainThreadCall.h"
#include "MainWindow.h"
#include "Shell/UserInterface.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>

#include <functional>

/// Sets a box's message and detail as they are: names and reasons from outside are never
/// read as markup.
void setPlainTexts(QMessageBox& ioBox, const QString& inText, const QString& inDetail);
/// Makes a box wide enough that a window manager shows its whole title.
void widen(QMessageBox& ioBox);

class CQtUI final : public QObject, public CFrontEnd {
  public:
    explicit CQtUI(CMainWindow& inWindow);

    int runModal(const SAlert& inAlert) override;
    void abortModal() override;
    int showError(const std::string& inMessage, int inCode) override;
    CProgressDisplay& showProgressView() override;
    bool runLongStep(ELongStep inStep, const std::function<bool()>& inRun) override;
    void showNotice(const std::string& inText) override;
    bool stopRequested() const override { return mClosed; }

    /// Ends the process at once with an exit status, without returning: after a stop during
    /// the transfer (130), or when Qt ends the process because the display was lost during
    /// it (how the transfer ended: it ends first). By default as the stop rule ends a
    /// program: the status lock let go.
    void onEndNow(std::function<void(int inExitStatus)> inEnd) { mEndNow = std::move(inEnd); }

    /// Watches the window's close button for a run: from the start, and again for a run
    /// tried again after the last one ended.
    void attend();

    /// The message box open now, a prompt or the close question, if any (for tests and the
    /// screenshot driver).
    QMessageBox* openBox() const { return mBox != nullptr ? mBox : mStopQuestion; }

  private:
    int ask(const SAlert& inAlert, QMessageBox::Icon inIcon, const QString& inDetail);
    /// The window's close button: true when the window may close.
    bool closeRequested();
    /// A stop request came (the rule's descriptor is readable): back out, or show the warning.
    void stopAsked();
    void backOut();
    void abortOnMainThread();

    CMainWindow& mWindow;
    CMainLoopTimers mTimers;
    QSocketNotifier mStops;
    QPointer<QMessageBox> mBox;
    QPointer<QMessageBox> mStopQuestion;
    CMainThreadCall mAbort{[this] { abortOnMainThread(); }};
    std::function<void(int)> mEndNow;
    bool mAbortPending = false;
    bool mClosed = false;
    bool mTransferring = false;
    bool mWarned = false;
};
