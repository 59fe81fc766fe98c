#include "QtUI.h"

#include "Shell/Launch/Launch.h"
#include "Shell/Launch/StopRule.h"
#include "Shell/Localization.h"
#include "Shell/VYRAppDelegate.h"

#include <QEventLoop>
#include <QGridLayout>
#include <QPushButton>
#include <QSpacerItem>
#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>
#include <unistd.h>

namespace {

// Wide enough that a window manager shows the whole title.
constexpr int kBoxMinimumWidth = 380;
constexpr int kBoxMargin = 12;
constexpr int kBoxIconRoom = 80; // the icon and the margins beside the message

// "OK" and "Cancel" are Qt's standard buttons, so Qt's own translation names them.
QPushButton* addButton(QMessageBox& ioBox, const std::string& inTitle, bool inBacksOut) {
    if (inTitle == "OK") {
        return ioBox.addButton(QMessageBox::Ok);
    }
    if (inTitle == "Cancel") {
        return ioBox.addButton(QMessageBox::Cancel);
    }
    return ioBox.addButton(QString::fromStdString(buttonTitle(inTitle)),
                           inBacksOut ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
}

// Shows inBox without blocking the main window and waits until it is done; its result. Over
// the window it sits in the lower part, which holds nothing while a prompt is open, so the
// device, the steps and the notices stay in sight.
int runBox(QMessageBox& ioBox) {
    ioBox.setWindowModality(Qt::NonModal); // a message box is modal unless told otherwise
    QEventLoop loop;
    QObject::connect(&ioBox, &QDialog::finished, &loop, &QEventLoop::quit);
    if (const QWidget* window = ioBox.parentWidget(); window != nullptr && window->isVisible()) {
        ioBox.adjustSize();
        // move() places the frame: the box gets a frame like the window's, so the box itself
        // lands inside the window. (A Wayland compositor places it as it sees fit.)
        const QRect area = window->geometry();
        const QPoint frame = area.topLeft() - window->frameGeometry().topLeft();
        ioBox.move(area.center().x() - ioBox.width() / 2 - frame.x(),
                   std::max(area.top(), area.bottom() - ioBox.height() - kBoxMargin) - frame.y());
    }
    ioBox.show();
    ioBox.raise();
    ioBox.activateWindow();
    while (ioBox.isVisible()) {
        loop.exec();
    }
    return ioBox.result();
}

// The long step under way, for the exit Qt makes when it loses the display (exit() from its
// event loop, with the step's thread still running).
struct SLongStepUnderWay {
    std::thread* thread;
    ELongStep step;
    const bool* completed;
    const std::function<void(int)>* endNow;
};
std::atomic<SLongStepUnderWay*> sUnderWay{nullptr};
// Taken by the first thread that ends the process: Qt may find the display gone on two at once.
SLongStepUnderWay sEnding{};

// For a thread that finds another one ending the process.
[[noreturn]] void awaitTheEnd() {
    for (;;) {
        pause();
    }
}

void finishLongStepAtExit() {
    SLongStepUnderWay* underWay = sUnderWay.exchange(&sEnding);
    if (underWay == &sEnding) {
        awaitTheEnd();
    }
    if (underWay == nullptr) {
        return;
    }
    underWay->thread->join();
    if (underWay->step == ELongStep::kTransfer) {
        std::fprintf(stderr, "vyr-updater: %s\n",
                     _("the display was lost; the transfer went on to its end"));
        (*underWay->endNow)(*underWay->completed ? kExitComplete : kExitTransferFailed);
    }
}

// Qt leaves with _exit once it has said that the Wayland compositor is gone (with X it calls
// exit(), which runs finishLongStepAtExit): the words are the only sign, so they are watched.
QtMessageHandler sQtMessages = nullptr;

void finishLongStepWhenWaylandGoes(QtMsgType inType, const QMessageLogContext& inContext,
                                   const QString& inMessage) {
    sQtMessages(inType, inContext, inMessage);
    if (inType == QtWarningMsg && inMessage.startsWith("The Wayland connection")) {
        finishLongStepAtExit();
    }
}

} // namespace

// Through the message's own label: the box sizes itself from its labels when it shows, and
// a width it did not count (a spacer) left a wrapped detail's last line out at large scales.
void widen(QMessageBox& ioBox) {
    if (auto* label = ioBox.findChild<QLabel*>("qt_msgbox_label")) {
        label->setMinimumWidth(kBoxMinimumWidth - kBoxIconRoom);
    }
}

void setPlainTexts(QMessageBox& ioBox, const QString& inText, const QString& inDetail) {
    ioBox.setTextFormat(Qt::PlainText);
    ioBox.setText(inText);
    ioBox.setInformativeText(inDetail);
    // The detail's label guesses its format, and takes a name such as "<b>x" for markup.
    if (auto* detail = ioBox.findChild<QLabel*>("qt_msgbox_informativelabel")) {
        detail->setTextFormat(Qt::PlainText);
    }
}

CQtUI::CQtUI(CMainWindow& inWindow)
    : mWindow(inWindow),
      mStops((CStopRule::install(), CStopRule::wakeDescriptor()), QSocketNotifier::Read),
      mEndNow(CStopRule::endNow) {
    attend();
    QObject::connect(&mStops, &QSocketNotifier::activated, [this] { stopAsked(); });
}

void CQtUI::attend() {
    mAbortPending = false;
    mWindow.onClose([this] { return closeRequested(); });
}

int CQtUI::runModal(const SAlert& inAlert) {
    mWindow.showStep(inAlert.key);
    return ask(inAlert,
               inAlert.buttons.size() > 1 ? QMessageBox::Question : QMessageBox::Information, {});
}

int CQtUI::ask(const SAlert& inAlert, QMessageBox::Icon inIcon, const QString& inDetail) {
    const int lastButton = resultOfLastButton(inAlert);
    if (mClosed) {
        return lastButton;
    }
    if (mAbortPending) {
        mAbortPending = false;
        return kModalResponseAbort;
    }
    QMessageBox box(inIcon, mWindow.windowTitle(), {}, QMessageBox::NoButton,
                    mWindow.isVisible() ? &mWindow : nullptr);
    setPlainTexts(box, QString::fromStdString(inAlert.message), inDetail);
    widen(box);
    std::vector<QPushButton*> buttons;
    for (std::size_t i = 0; i < inAlert.buttons.size(); ++i) {
        buttons.push_back(
            addButton(box, inAlert.buttons[i], i + 1 == inAlert.buttons.size() && i > 0));
    }
    box.setDefaultButton(buttons.front());
    box.setEscapeButton(buttons.back());
    mBox = &box;
    const int code = runBox(box);
    mBox = nullptr;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i]) {
            return resultOfButton(i);
        }
    }
    // No button: ended by abortModal, by its own close button or by a stop request.
    return code == kModalResponseAbort ? kModalResponseAbort : lastButton;
}

void CQtUI::abortModal() {
    mAbort.post();
}

// The box may not exist yet or any more, and only the main thread may touch it.
void CQtUI::abortOnMainThread() {
    if (mBox != nullptr) {
        mBox->done(kModalResponseAbort);
    } else {
        mAbortPending = true;
    }
}

int CQtUI::showError(const std::string& inMessage, int inCode) {
    QString detail = QString::fromUtf8(_("Error code %1")).arg(inCode);
    if (const char* advice = adviceAfterError(inCode)) {
        detail = QString::fromUtf8(advice) + "\n\n" + detail;
    }
    mWindow.showFailure();
    return ask({"error", inMessage, {"OK"}, false}, QMessageBox::Critical, detail);
}

CProgressDisplay& CQtUI::showProgressView() {
    mWindow.showProgressView();
    return mWindow;
}

bool CQtUI::runLongStep(ELongStep inStep, const std::function<bool()>& inRun) {
    mTimers.hold();
    mTransferring = inStep == ELongStep::kTransfer;
    bool completed = false;
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    QEventLoop loop;
    CMainThreadCall stepEnded([this, &loop] {
        mTransferring = false;
        // A question about stopping has no subject any more: it goes, unanswered (its own
        // loop would otherwise hold this one until somebody answers it).
        if (mStopQuestion != nullptr) {
            mStopQuestion->done(QMessageBox::Rejected);
        }
        loop.quit();
    });
    std::thread transfer([&] {
        try {
            completed = inRun();
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        stepEnded.post();
    });
    static const bool sFinishedAtExit = [] {
        sQtMessages = qInstallMessageHandler(finishLongStepWhenWaylandGoes);
        return std::atexit(finishLongStepAtExit) == 0;
    }();
    SLongStepUnderWay underWay{&transfer, inStep, &completed, &mEndNow};
    SLongStepUnderWay* none = nullptr;
    if (sFinishedAtExit) {
        // Unless the process is ending already: then the check below waits for its end.
        (void)sUnderWay.compare_exchange_strong(none, &underWay);
    }
    while (!done) {
        loop.exec();
    }
    SLongStepUnderWay* ours = &underWay;
    if (sFinishedAtExit && !sUnderWay.compare_exchange_strong(ours, nullptr)) {
        // The process is ending (on another thread), and that ends the step first.
        awaitTheEnd();
    }
    transfer.join();
    mTimers.resume();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return completed;
}

void CQtUI::showNotice(const std::string& inText) {
    mWindow.showNotice(QString::fromStdString(inText));
}

bool CQtUI::closeRequested() {
    if (!mTransferring) {
        backOut();
        return true;
    }
    if (mStopQuestion != nullptr) {
        mStopQuestion->raise();
        return false;
    }
    QMessageBox question(QMessageBox::Warning, mWindow.windowTitle(), {}, QMessageBox::NoButton,
                         &mWindow);
    setPlainTexts(question, QString::fromUtf8(_("Stop the update?")),
                  QString::fromUtf8(_("Stopping now leaves VYR in update mode; run the updater "
                                      "again to resume.")));
    widen(question);
    // Buttons that say what they do: in German the usual word for "Stop" is the one for
    // "Cancel", which would dismiss the question by stopping the update.
    QPushButton* goOn = question.addButton(QString::fromUtf8(_("Go on")), QMessageBox::RejectRole);
    QPushButton* stop =
        question.addButton(QString::fromUtf8(_("Stop the update")), QMessageBox::DestructiveRole);
    question.setDefaultButton(goOn);
    question.setEscapeButton(goOn);
    mStopQuestion = &question;
    runBox(question);
    mStopQuestion = nullptr;
    // After the transfer's end there is nothing left to stop.
    if (question.clickedButton() == stop && mTransferring) {
        mEndNow(kExitInterrupted);
    }
    return false;
}

void CQtUI::stopAsked() {
    CStopRule::drain();
    if (CStopRule::requested()) {
        backOut();
    } else if (CStopRule::warned() && !std::exchange(mWarned, true)) {
        mWindow.showWarning(
            QString::fromUtf8(
                _("Stopping now leaves VYR in update mode; run the updater again to resume.")) +
            "\n" + QString::fromUtf8(_("A second stop request ends the updater anyway.")));
    }
}

void CQtUI::backOut() {
    mClosed = true;
    if (mBox != nullptr) {
        mBox->reject();
    }
}
