// What only a window does (the workflow's contract with it is in tests/frontend): stop
// requests by the close button or a signal, the transfer beside a responsive window, and
// the main-loop timers driven from Qt's loop.
#include "QtUI.h"
#include "Eventually.h"
#include "ManualClock.h"
#include "Question.h"
#include "Shell/Launch/StopRule.h"
#include "Shell/VYRAppDelegate.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

void count(EventLoopTimerRef, void* inCount) {
    ++*static_cast<int*>(inCount);
}

class QtUI : public testing::Test {
  protected:
    // Each test is a run of its own: the stop requests of one are no concern of the next.
    QtUI() { CStopRule::forget(); }
    ~QtUI() override { CStopRule::forget(); }

    /// Runs inAction on the open box as soon as the modal loop turns.
    void whenOpen(std::function<void(QMessageBox&)> inAction) {
        QTimer::singleShot(0, [this, inAction] {
            ASSERT_NE(mUI.openBox(), nullptr);
            inAction(*mUI.openBox());
        });
    }
    /// Runs inAction on the main thread every few milliseconds meanwhile.
    void meanwhile(std::function<void()> inAction) {
        QObject::connect(&mTicker, &QTimer::timeout, std::move(inAction));
        mTicker.start(5);
    }

    CMainWindow mWindow;
    CQtUI mUI{mWindow};
    QTimer mTicker;
};

TEST_F(QtUI, ClosingTheWindowBacksOutOfEveryPrompt) {
    mWindow.show();
    whenOpen([this](QMessageBox&) { mWindow.close(); });
    EXPECT_EQ(mUI.runModal(kQuestion), kAlertSecondButtonReturn);
    EXPECT_EQ(mUI.runModal(kQuestion), kAlertSecondButtonReturn) << "no prompt any more";
    EXPECT_TRUE(mUI.stopRequested());
}

// The window keeps turning its loop and shows progress while the transfer runs, but the
// main loop's timers wait, as they do in the terminal; what the transfer throws comes back.
TEST_F(QtUI, TheTransferRunsBesideAResponsiveWindow) {
    CProgressDisplay& display = mUI.showProgressView();
    std::atomic<bool> turned{false};
    QTimer::singleShot(20, [&turned] { turned = true; });
    int ticks = 0;
    EventLoopTimerRef timer = nullptr;
    ASSERT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0.001, 0.001, count, &ticks, &timer),
              noErr);
    EXPECT_TRUE(mUI.runLongStep(ELongStep::kTransfer, [&] {
        display.setProgress(60, 100);
        return eventually([&] { return turned.load(); });
    }));
    (void)RemoveEventLoopTimer(timer);
    EXPECT_EQ(ticks, 0);
    for (int i = 0; i < 200 && mWindow.bar().value() != 60; ++i) { // the bar's own pace
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(mWindow.bar().value(), 60);
    EXPECT_THROW(
        mUI.runLongStep(ELongStep::kTransfer, []() -> bool { throw std::runtime_error("lost"); }),
        std::runtime_error);
}

// During the transfer closing the window asks first and a signal only warns; at a prompt a
// signal backs out, as the close button does.
TEST_F(QtUI, StopRequestsDuringTheTransferAskOrWarnFirst) {
    mWindow.show();
    mUI.showProgressView();
    std::atomic<bool> asked{false};
    std::atomic<bool> warned{false};
    meanwhile([&] {
        warned = mWindow.warns();
        if (auto* question = qobject_cast<QMessageBox*>(QApplication::activeWindow());
            question != nullptr && question->text() == "Stop the update?") {
            asked = true;
            question->buttons().at(0)->click(); // "Go on"
        }
    });
    QTimer::singleShot(0, [this] { mWindow.close(); });
    {
        const CStopRule::CTransfer transfer; // as the launch marks it
        EXPECT_TRUE(mUI.runLongStep(ELongStep::kTransfer, [&] {
            return eventually([&] { return asked.load(); }) && kill(getpid(), SIGTERM) == 0 &&
                   eventually([&] { return warned.load(); });
        }));
    }
    EXPECT_TRUE(mWindow.isVisible());
    EXPECT_FALSE(mUI.stopRequested());

    whenOpen([](QMessageBox&) { kill(getpid(), SIGTERM); });
    EXPECT_EQ(mUI.runModal(kQuestion), kAlertSecondButtonReturn);
    EXPECT_TRUE(mUI.stopRequested());
}

// The question belongs to the transfer: when the transfer ends it goes unanswered, and
// nothing is stopped.
TEST_F(QtUI, TheStopQuestionEndsWithTheTransfer) {
    mWindow.show();
    mUI.showProgressView();
    bool stopped = false;
    mUI.onEndNow([&stopped](int) { stopped = true; });
    std::atomic<bool> asked{false};
    std::atomic<bool> stepDone{false};
    int lingering = 0; // ticks the question stayed after the step's end
    meanwhile([&] {
        auto* question = qobject_cast<QMessageBox*>(QApplication::activeWindow());
        if (question == nullptr || question->text() != "Stop the update?") {
            return;
        }
        asked = true;
        // Left open, it must not hold the workflow: after a second, answer it "Stop".
        if (stepDone && ++lingering == 200) {
            question->buttons().at(1)->click();
        }
    });
    QTimer::singleShot(0, [this] { mWindow.close(); });
    EXPECT_TRUE(mUI.runLongStep(ELongStep::kTransfer, [&] {
        stepDone = eventually([&] { return asked.load(); });
        return stepDone.load();
    }));
    EXPECT_LT(lingering, 200);
    EXPECT_FALSE(stopped);
    EXPECT_TRUE(mWindow.isVisible());
}

// Names and reasons from outside (a file named "<h1>...") are shown as the text they are,
// in the window and in every box.
TEST_F(QtUI, EveryTextIsShownAsItIs) {
    mWindow.show();
    const QString name = "<h1><font color=red>Update verified";
    mWindow.showImage(name, 1);
    mWindow.showDevice(name);
    const auto allPlain = [](const QWidget& inWidget) {
        for (const QLabel* label : inWidget.findChildren<QLabel*>()) {
            if (!label->text().isEmpty() && label->textFormat() != Qt::PlainText) {
                ADD_FAILURE() << label->text().toStdString();
            }
        }
    };
    allPlain(mWindow);
    int boxes = 0;
    meanwhile([&] {
        if (QMessageBox* box = mUI.openBox()) {
            allPlain(*box);
            ++boxes;
            box->buttons().at(0)->click();
        }
    });
    mUI.runModal({"x", name.toStdString(), {"OK"}, false});
    mUI.showError(name.toStdString(), 1001);
    EXPECT_EQ(boxes, 2);
}

// The end stays in the window: where the run stopped (in words a screen reader says too),
// what to do next and a way to try again; the run tried again, resumed, shows the steps it
// passed over as skipped, not done.
TEST_F(QtUI, TheEndShowsWhereItStoppedAndWhatIsNext) {
    mWindow.show();
    for (const char* prompt : {"Waiting...", "Ready", kUpdateModePrompt}) {
        mWindow.showStep(prompt);
    }
    mWindow.showProgressView();
    EXPECT_EQ(mWindow.stepState(0).toStdString(), "Connect: done");
    EXPECT_EQ(mWindow.stepState(3).toStdString(), "Transfer: current");
    // The error's box already stands over a failed step, the progress view gone.
    std::string stateAtTheError;
    meanwhile([&] {
        if (QMessageBox* box = mUI.openBox()) {
            stateAtTheError = mWindow.stepState(3).toStdString();
            EXPECT_FALSE(mWindow.bar().isVisible());
            box->buttons().at(0)->click();
        }
    });
    mUI.showError("Communication error.", 1001);
    mTicker.stop();
    EXPECT_EQ(stateAtTheError, "Transfer: failed");
    int tries = 0;
    mWindow.showResult("failed", false, [&] { ++tries; });
    EXPECT_EQ(mWindow.stepState(2).toStdString(), "Update mode: done");
    EXPECT_EQ(mWindow.stepState(3).toStdString(), "Transfer: failed");
    const auto button = [&](const char* inText) {
        for (QPushButton* candidate : mWindow.findChildren<QPushButton*>()) {
            if (candidate->text() == inText && candidate->isVisible()) {
                return candidate;
            }
        }
        return static_cast<QPushButton*>(nullptr);
    };
    ASSERT_NE(button("Try again"), nullptr);
    button("Try again")->click();
    EXPECT_EQ(tries, 1);
    EXPECT_EQ(button("Close"), nullptr) << "the run goes on";
    mWindow.showStep(kUpdateModePrompt);
    EXPECT_EQ(mWindow.stepState(1).toStdString(), "Ready: skipped");
    mWindow.showResult("complete", true);
    EXPECT_EQ(mWindow.stepState(4).toStdString(), "Complete: done");
    EXPECT_EQ(button("Try again"), nullptr);
}

// Qt is woken when the next timer is due, never before: an early wake finds nothing due and
// spins until it is.
TEST(MainLoopTimers, QtWakesWhenTheNextTimerIsDue) {
    CManualClock clock;
    for (const double delay : {0.0004, 0.0104, 0.049}) {
        int fired = 0;
        EventLoopTimerRef timer = nullptr;
        ASSERT_EQ(InstallEventLoopTimer(GetMainEventLoop(), delay, 0, count, &fired, &timer),
                  noErr);
        const int wait = CMainLoopTimers::waitMilliseconds(RunDueEventLoopTimers());
        clock.advance(static_cast<Nanoseconds>(wait) * 1'000'000u);
        RunDueEventLoopTimers();
        EXPECT_EQ(fired, 1) << "woken after " << wait << " ms for a timer due in " << delay;
    }
    EXPECT_EQ(CMainLoopTimers::waitMilliseconds(kEventDurationForever), 50);
}

} // namespace
