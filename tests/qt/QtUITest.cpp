// The window's side of the workflow's port: prompts and their results, aborts from another
// thread, the error alert, the progress view, the main-loop timers inside a prompt.
#include "QtUI.h"
#include "MainLoopTimers.h"
#include "Platform/EventLoop.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {

const SAlert kQuestion{"Please change VYR to update mode.",
                       "Please change VYR to update mode.",
                       {"OK", "Cancel"},
                       false};

class QtUI : public testing::Test {
  protected:
    /// Runs inAction on the open box as soon as the modal loop turns.
    void whenOpen(std::function<void(QMessageBox&)> inAction) {
        QTimer::singleShot(0, [this, inAction] {
            ASSERT_NE(mUI.openBox(), nullptr);
            inAction(*mUI.openBox());
        });
    }

    CMainWindow mWindow;
    CQtUI mUI{mWindow};
};

TEST_F(QtUI, EachButtonGivesItsResult) {
    for (std::size_t button : {0u, 1u}) {
        whenOpen([button](QMessageBox& inBox) {
            EXPECT_EQ(inBox.text(), "Please change VYR to update mode.");
            for (QAbstractButton* candidate : inBox.buttons()) {
                if (candidate->text().toStdString() == kQuestion.buttons[button]) {
                    QTest::mouseClick(candidate, Qt::LeftButton);
                }
            }
        });
        EXPECT_EQ(mUI.runModal(kQuestion), kAlertFirstButtonReturn + static_cast<int>(button));
    }
    // Return picks the first button, Escape the last.
    whenOpen([](QMessageBox& inBox) { QTest::keyClick(&inBox, Qt::Key_Escape); });
    EXPECT_EQ(mUI.runModal(kQuestion), kAlertSecondButtonReturn);
    whenOpen([](QMessageBox& inBox) { QTest::keyClick(&inBox, Qt::Key_Return); });
    EXPECT_EQ(mUI.runModal(kQuestion), kAlertFirstButtonReturn);
}

TEST_F(QtUI, AbortFromAnotherThreadEndsTheOpenPrompt) {
    std::thread poll;
    whenOpen([&](QMessageBox&) { poll = std::thread([this] { mUI.abortModal(); }); });
    EXPECT_EQ(mUI.runModal({"Waiting...", "Waiting...", {"Cancel"}, true}), kModalResponseAbort);
    poll.join();
}

TEST_F(QtUI, AbortBeforeThePromptOpensEndsIt) {
    std::thread([this] { mUI.abortModal(); }).join();
    EXPECT_EQ(mUI.runModal({"Waiting...", "Waiting...", {"Cancel"}, true}), kModalResponseAbort);
    // Taken once: the next prompt waits for its answer.
    whenOpen([](QMessageBox& inBox) { QTest::keyClick(&inBox, Qt::Key_Return); });
    EXPECT_EQ(mUI.runModal(kQuestion), kAlertFirstButtonReturn);
}

TEST_F(QtUI, ErrorAlertNamesTheMessageTheCodeAndWhatToDo) {
    whenOpen([](QMessageBox& inBox) {
        EXPECT_EQ(inBox.icon(), QMessageBox::Critical);
        EXPECT_EQ(inBox.text(), "Communication error.");
        EXPECT_TRUE(inBox.informativeText().contains("Error code 1001"));
        EXPECT_TRUE(inBox.informativeText().contains("resume"));
        QTest::keyClick(&inBox, Qt::Key_Return);
    });
    EXPECT_EQ(mUI.showError("Communication error.", 1001), kAlertFirstButtonReturn);
}

TEST_F(QtUI, ProgressViewShowsTheBarAndHidesBeforeComplete) {
    CProgressDisplay& display = mUI.showProgressView();
    EXPECT_TRUE(mWindow.isVisible());
    display.setMessage("Now updating...");
    display.setProgress(40, 100);
    EXPECT_EQ(mWindow.message(), "Now updating...");
    EXPECT_EQ(mWindow.bar().value(), 40);
    EXPECT_TRUE(mWindow.bar().isVisible());
    display.hideWindow();
    EXPECT_FALSE(mWindow.isVisible());
}

TEST_F(QtUI, ClosingTheWindowBacksOutOfEveryPrompt) {
    mWindow.show();
    whenOpen([this](QMessageBox&) { mWindow.close(); });
    EXPECT_EQ(mUI.runModal(kQuestion), kAlertSecondButtonReturn);
    EXPECT_EQ(mUI.runModal(kQuestion), kAlertSecondButtonReturn) << "no prompt any more";
}

int sTicks = 0;
void tick(EventLoopTimerRef, void*) {
    ++sTicks;
}

TEST_F(QtUI, MainLoopTimersFireInsideAPrompt) {
    const CMainLoopTimers timers;
    EventLoopTimerRef timer = nullptr;
    ASSERT_EQ(InstallEventLoopTimer(GetMainEventLoop(), 0.01, 0.01, NewEventLoopTimerUPP(tick),
                                    nullptr, &timer),
              noErr);
    sTicks = 0;
    QTimer::singleShot(300, [this] { QTest::keyClick(mUI.openBox(), Qt::Key_Return); });
    mUI.runModal(kQuestion);
    RemoveEventLoopTimer(timer);
    EXPECT_GT(sTicks, 3);
}

} // namespace
