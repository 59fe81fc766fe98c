// What the workflow needs of every front-end, held against each: the terminal on a pseudo-
// terminal, and the window on Qt's offscreen platform. Each driver plays the user with that
// front-end's own keys.
#include "Eventually.h"
#include "Platform/EventLoop.h"
#include "Shell/Launch/StopRule.h"
#include "TerminalDriver.h"

#ifdef VYR_WITH_QT
#include "QtUI.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;

const SAlert kWaiting{"Waiting...", "Waiting...", {"Cancel"}, true};

#ifdef VYR_WITH_QT
// The window: the user's hand acts on the open message box from inside its modal loop.
class CQtDriver {
  public:
    CFrontEnd& ui() { return mUI; }

    void whenShown(const std::string& inText, Action inAction,
                   std::chrono::milliseconds inDelay = 0ms) {
        QTimer::singleShot(
            0, [this, inText, inAction, inDelay] { actWhenOpen(inText, inAction, inDelay); });
    }
    void accept(const std::string&) { QTest::keyClick(mUI.openBox(), Qt::Key_Return); }
    void backOut(const std::string&) { QTest::keyClick(mUI.openBox(), Qt::Key_Escape); }
    void choose(const std::string& inTitle) {
        for (QAbstractButton* button : mUI.openBox()->buttons()) {
            if (button->text().toStdString() == inTitle) {
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
    }
    // The bar follows at its own pace, on the main loop.
    bool shows(std::optional<int> inPercent) {
        return eventually([&] {
            QCoreApplication::processEvents();
            const bool shown = mWindow.isVisible() && mWindow.bar().isVisible();
            return (shown ? std::optional<int>(mWindow.bar().value()) : std::nullopt) == inPercent;
        });
    }

  private:
    void actWhenOpen(const std::string& inText, const Action& inAction,
                     std::chrono::milliseconds inDelay) {
        QMessageBox* box = mUI.openBox();
        const std::string shown = box == nullptr
                                      ? std::string()
                                      : (box->text() + "\n" + box->informativeText()).toStdString();
        if (shown.find(inText) == std::string::npos) {
            QTimer::singleShot(
                5, [this, inText, inAction, inDelay] { actWhenOpen(inText, inAction, inDelay); });
            return;
        }
        QTimer::singleShot(inDelay, [inAction, shown] { inAction(shown); });
    }

    CMainWindow mWindow;
    CQtUI mUI{mWindow};
};
#endif

template <typename Driver> class FrontEnd : public testing::Test {
  protected:
    Driver mDriver;
};

#ifdef VYR_WITH_QT
using Drivers = testing::Types<CTerminalDriver, CQtDriver>;
#else
using Drivers = testing::Types<CTerminalDriver>;
#endif
TYPED_TEST_SUITE(FrontEnd, Drivers);

// Each button gives its result; the keyboard's default is the first, backing out the last.
TYPED_TEST(FrontEnd, ButtonsGiveTheirResults) {
    auto& driver = this->mDriver;
    for (std::size_t button : {0u, 1u}) {
        driver.whenShown(kQuestion.message, [&driver, button](const std::string&) {
            driver.choose(kQuestion.buttons[button]);
        });
        EXPECT_EQ(driver.ui().runModal(kQuestion),
                  kAlertFirstButtonReturn + static_cast<int>(button));
    }
    driver.whenShown(kQuestion.message,
                     [&](const std::string& inShown) { driver.accept(inShown); });
    EXPECT_EQ(driver.ui().runModal(kQuestion), kAlertFirstButtonReturn);
    driver.whenShown(kQuestion.message,
                     [&](const std::string& inShown) { driver.backOut(inShown); });
    EXPECT_EQ(driver.ui().runModal(kQuestion), kAlertSecondButtonReturn);
}

// The poll ends "Waiting..." from its own thread, also when it is quicker than the prompt;
// an early abort ends one prompt only.
TYPED_TEST(FrontEnd, AnAbortFromAnotherThreadEndsOnePrompt) {
    auto& driver = this->mDriver;
    std::atomic<bool> shown{false};
    driver.whenShown(kWaiting.message, [&shown](const std::string&) { shown = true; });
    std::thread poll([&] {
        EXPECT_TRUE(eventually([&] { return shown.load(); })) << "\"Waiting...\" never shown";
        driver.ui().abortModal();
    });
    EXPECT_EQ(driver.ui().runModal(kWaiting), kModalResponseAbort);
    poll.join();

    std::thread([&] { driver.ui().abortModal(); }).join();
    EXPECT_EQ(driver.ui().runModal(kWaiting), kModalResponseAbort);
    driver.whenShown(kQuestion.message,
                     [&](const std::string& inShown) { driver.accept(inShown); });
    EXPECT_EQ(driver.ui().runModal(kQuestion), kAlertFirstButtonReturn) << "taken once";
}

// A stop request at a prompt backs out of it and of every prompt after it, so the run ends
// in order.
TYPED_TEST(FrontEnd, AStopRequestBacksOutOfThePrompts) {
    CStopRule::install();
    auto& driver = this->mDriver;
    driver.whenShown(kQuestion.message, [](const std::string&) { kill(getpid(), SIGTERM); });
    EXPECT_EQ(driver.ui().runModal(kQuestion), kAlertSecondButtonReturn);
    EXPECT_TRUE(driver.ui().stopRequested());
    EXPECT_EQ(driver.ui().runModal(kQuestion), kAlertSecondButtonReturn);
    CStopRule::forget();
}

int sTicks = 0;
void tick(EventLoopTimerRef, void*) {
    ++sTicks;
}

// The controller's timer keeps turning while a prompt waits for its answer.
TYPED_TEST(FrontEnd, MainLoopTimersTurnDuringAPrompt) {
    auto& driver = this->mDriver;
    EventLoopTimerRef timer = nullptr;
    ASSERT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0.01, 0.01, NewEventLoopTimerUPP(tick),
                                    nullptr, &timer),
              noErr);
    sTicks = 0;
    driver.whenShown(
        kQuestion.message, [&](const std::string& inShown) { driver.accept(inShown); }, 300ms);
    EXPECT_EQ(driver.ui().runModal(kQuestion), kAlertFirstButtonReturn);
    (void)RemoveEventLoopTimer(timer);
    EXPECT_GE(sTicks, 3) << "in 300 ms of a timer every 10 ms";
}

TYPED_TEST(FrontEnd, TheErrorAlertCarriesTheCodeAndTheAdvice) {
    auto& driver = this->mDriver;
    driver.whenShown("Communication error.", [&](const std::string& inShown) {
        EXPECT_NE(inShown.find("1001"), std::string::npos) << inShown;
        EXPECT_NE(inShown.find("Run the updater again to resume"), std::string::npos) << inShown;
        driver.accept(inShown);
    });
    EXPECT_EQ(driver.ui().showError("Communication error.", 1001), kAlertFirstButtonReturn);
}

TYPED_TEST(FrontEnd, TheProgressViewShowsMovesAndHides) {
    auto& driver = this->mDriver;
    CProgressDisplay& display = driver.ui().showProgressView();
    display.setMessage("Now updating...");
    display.setProgress(40, 100);
    EXPECT_TRUE(driver.shows(40));
    display.setProgress(95, 100);
    EXPECT_TRUE(driver.shows(95));
    display.hideWindow();
    EXPECT_TRUE(driver.shows(std::nullopt));
}

} // namespace
