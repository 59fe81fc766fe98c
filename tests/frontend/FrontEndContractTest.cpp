// What the workflow needs of every front-end, held against each: the terminal on a pseudo-
// terminal, and the window on Qt's offscreen platform. Each driver plays the user with that
// front-end's own keys.
#include "Eventually.h"
#include "Platform/EventLoop.h"
#include "TerminalUI.h"

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
#include <functional>
#include <mutex>
#include <optional>
#include <pty.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Action = std::function<void(const std::string& inShown)>;

const SAlert kQuestion{"Please change VYR to update mode.",
                       "Please change VYR to update mode.",
                       {"OK", "Cancel"},
                       false};
const SAlert kWaiting{"Waiting...", "Waiting...", {"Cancel"}, true};

// The terminal on a pseudo-terminal: what it prints is read from the other end, where the
// user's keys go in once the prompt is on the screen.
class CTerminalDriver {
  public:
    CTerminalDriver() {
        EXPECT_EQ(openpty(&mUser, &mTerminal, nullptr, nullptr, nullptr), 0);
        mOutput = fdopen(dup(mTerminal), "w");
        mUI.emplace(STerminalOptions{.inputFd = mTerminal, .output = mOutput, .errors = mOutput});
        mReader = std::thread([this] {
            char buffer[512];
            for (ssize_t n; (n = read(mUser, buffer, sizeof buffer)) > 0;) {
                const std::lock_guard<std::mutex> lock(mMutex);
                mScreen.append(buffer, static_cast<std::size_t>(n));
            }
        });
    }
    ~CTerminalDriver() {
        if (mActor.joinable()) {
            mActor.join();
        }
        mUI.reset();
        std::fclose(mOutput);
        close(mTerminal); // the reader sees the end
        mReader.join();
        close(mUser);
    }
    CFrontEnd& ui() { return *mUI; }

    /// Runs inAction with what the screen shows once inText is on it (after what was there)
    /// and inDelay has passed.
    void whenShown(const std::string& inText, Action inAction,
                   std::chrono::milliseconds inDelay = 0ms) {
        if (mActor.joinable()) {
            mActor.join();
        }
        const std::size_t from = screen().size();
        mActor = std::thread([this, inText, inAction, inDelay, from] {
            std::string shown;
            ASSERT_TRUE(eventually([&] {
                shown = screen().substr(from);
                return shown.find(inText) != std::string::npos;
            })) << shown;
            std::this_thread::sleep_for(inDelay);
            inAction(shown);
        });
    }
    void accept(const std::string&) { type("\n"); }
    void backOut(const std::string&) { type("\x04"); } // the end of input
    void choose(const std::string& inTitle) { type(inTitle + "\n"); }
    /// True once the progress view shows inPercent (nothing: it is not shown).
    bool shows(std::optional<int> inPercent) {
        return eventually([&] {
            const std::string text = screen();
            const std::string line = text.substr(text.find_last_of('\n') + 1);
            const std::size_t sign = line.rfind('%');
            const std::optional<int> shown =
                sign == std::string::npos || sign < 3
                    ? std::nullopt
                    : std::optional<int>(std::stoi(line.substr(sign - 3, 3)));
            return shown == inPercent;
        });
    }

  private:
    void type(const std::string& inKeys) {
        EXPECT_EQ(write(mUser, inKeys.data(), inKeys.size()), static_cast<ssize_t>(inKeys.size()));
    }
    std::string screen() {
        const std::lock_guard<std::mutex> lock(mMutex);
        return mScreen;
    }

    int mUser = -1;
    int mTerminal = -1;
    std::FILE* mOutput = nullptr;
    std::optional<CTerminalUI> mUI;
    std::mutex mMutex;
    std::string mScreen;
    std::thread mReader;
    std::thread mActor;
};

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
        while (!shown) {
            std::this_thread::sleep_for(1ms);
        }
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
    RemoveEventLoopTimer(timer);
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
