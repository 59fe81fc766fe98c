// The whole update in a window, as a user clicks through it: the shared launch path with the
// simulated device, the window's front-end, the first button of every prompt clicked.
#include "MainLoopTimers.h"
#include "QtUI.h"
#include "Shell/Launch/Launch.h"
#include "Shell/Launch/PreferenceFile.h"
#include "ShortImage.h"
#include "TestDirectory.h"

#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

class QtWorkflow : public testing::Test {
  protected:
    /// Runs one launch with the given misbehaviour as a patient user: the first button of
    /// every prompt, but Cancel when the update-mode prompt comes a third time, and Cancel
    /// after two seconds of waiting for a device that does not answer.
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
        int waitingTicks = 0;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            QMessageBox* box = ui.openBox();
            if (box == nullptr) {
                return;
            }
            const std::string text = box->text().toStdString();
            if (text == "Waiting...") {
                if (++waitingTicks == 100) {
                    prompts.push_back(text);
                    QTest::keyClick(box, Qt::Key_Escape);
                }
                return;
            }
            prompts.push_back(text);
            const bool third = std::count(prompts.begin(), prompts.end(), text) == 3;
            QTest::keyClick(box, third ? Qt::Key_Escape : Qt::Key_Return);
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

// Every failure the simulation can show ends with its message in a box and the status the
// workflow leaves for it.
TEST_F(QtWorkflow, FailuresShowTheirMessageAndLeaveTheirStatus) {
    const struct {
        SSimulationOptions simulation;
        ELaunchOutcome outcome;
        const char* lastPrompt;
        std::optional<std::int32_t> status;
    } cases[] = {
        {{.failAt = 5}, ELaunchOutcome::kTransferFailed, "Communication error.", 1},
        {{.vanishAt = 5}, ELaunchOutcome::kTransferFailed, "Communication error.", 1},
        {{.serviceFaultAt = 5}, ELaunchOutcome::kUnexpectedError, "Unexpected error.", 1},
        {{.staysInNormalMode = true},
         ELaunchOutcome::kCancelled,
         "Please change VYR to update mode.",
         std::nullopt},
        {{.absent = true}, ELaunchOutcome::kCancelled, "Waiting...", std::nullopt},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(mDirectory.file("status.plist"));
        prompts.clear();
        EXPECT_EQ(launch(c.simulation), c.outcome) << c.lastPrompt;
        ASSERT_FALSE(prompts.empty());
        EXPECT_EQ(prompts.back(), c.lastPrompt);
        EXPECT_EQ(status(), c.status) << c.lastPrompt;
    }
}

} // namespace
