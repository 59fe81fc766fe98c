// The whole update in a window, as a user clicks through it: the shared launch path with the
// simulated device, the window's front-end, the first button of every prompt clicked.
#include "MainLoopTimers.h"
#include "QtUI.h"
#include "Shell/Launch.h"
#include "ShortImage.h"
#include "TestDirectory.h"

#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class QtWorkflow : public testing::Test {
  protected:
    /// Runs one launch with the given misbehaviour, clicking the first button of every
    /// prompt but the wait for the device, which ends by itself.
    ELaunchOutcome launch(SSimulationOptions inSimulation) {
        SLaunchOptions options;
        options.simulate = true;
        options.simulation = inSimulation;
        options.prefsPath = mDirectory.file("status.plist");
        options.firmwarePath = mDirectory.write("image.bin", shortFirmwareImage());
        CLaunch launch("qt-test", options);
        std::string refusal;
        EXPECT_EQ(launch.prepare(refusal), ELaunchRefusal::kNone) << refusal;
        CMainWindow window;
        window.show();
        CQtUI ui(window);
        const CMainLoopTimers timers;
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            if (QMessageBox* box = ui.openBox(); box != nullptr && box->text() != "Waiting...") {
                prompts.push_back(box->text().toStdString());
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        clicker.start(20);
        const ELaunchOutcome outcome = launch.run(ui);
        report = launch.report();
        return outcome;
    }
    std::optional<std::int32_t> status() {
        std::int32_t value = 0;
        return CPreferenceFile(mDirectory.file("status.plist")).load(value)
                   ? std::optional<std::int32_t>(value)
                   : std::nullopt;
    }
    CTestDirectory mDirectory;
    std::vector<std::string> prompts;
    std::string report;
};

TEST_F(QtWorkflow, ClickedThroughToComplete) {
    EXPECT_EQ(launch({}), ELaunchOutcome::kCompleted);
    EXPECT_EQ(prompts,
              (std::vector<std::string>{"Ready", "Please change VYR to update mode.", "Complete"}));
    EXPECT_EQ(status(), 2);
    EXPECT_NE(report.find("identical to the image: yes"), std::string::npos) << report;
}

TEST_F(QtWorkflow, RefusedSendIsACommunicationErrorAndKeepsStatusOne) {
    EXPECT_EQ(launch({.failAt = 5}), ELaunchOutcome::kTransferFailed);
    ASSERT_FALSE(prompts.empty());
    EXPECT_EQ(prompts.back(), "Communication error.");
    EXPECT_EQ(status(), 1);
}

} // namespace
