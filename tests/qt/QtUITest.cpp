// What only a window does (the workflow's contract with it is in tests/frontend): stop
// requests by the close button or a signal, the transfer beside a responsive window, and
// the main-loop timers driven from Qt's loop.
#include "QtUI.h"
#include "Eventually.h"
#include "ManualClock.h"
#include "Question.h"

#include <QApplication>
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
    RemoveEventLoopTimer(timer);
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
    EXPECT_TRUE(mUI.runLongStep(ELongStep::kTransfer, [&] {
        return eventually([&] { return asked.load(); }) && kill(getpid(), SIGTERM) == 0 &&
               eventually([&] { return warned.load(); });
    }));
    EXPECT_TRUE(mWindow.isVisible());
    EXPECT_FALSE(mUI.stopRequested());

    whenOpen([](QMessageBox&) { kill(getpid(), SIGTERM); });
    EXPECT_EQ(mUI.runModal(kQuestion), kAlertSecondButtonReturn);
    EXPECT_TRUE(mUI.stopRequested());
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
