// What only a window does (the workflow's contract with it is in tests/frontend): closing
// the main window backs out of every prompt.
#include "QtUI.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

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

TEST_F(QtUI, ClosingTheWindowBacksOutOfEveryPrompt) {
    mWindow.show();
    whenOpen([this](QMessageBox&) { mWindow.close(); });
    EXPECT_EQ(mUI.runModal(kQuestion), kAlertSecondButtonReturn);
    EXPECT_EQ(mUI.runModal(kQuestion), kAlertSecondButtonReturn) << "no prompt any more";
}

} // namespace
