// The whole update in a window, as a patient user clicks through it: the shared launch path
// with the simulated device misbehaving as each row of tests/scenarios.txt says.
#include "QtUI.h"
#include "Scenarios.h"
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
    ELaunchOutcome launch(const std::vector<std::string>& inMisbehaviour) {
        std::vector<std::string> arguments = {"qt-test", "--simulate"};
        arguments.insert(arguments.end(), inMisbehaviour.begin(), inMisbehaviour.end());
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        SLaunchOptions options;
        EXPECT_EQ(parseLaunchOptions(static_cast<int>(argv.size()), argv.data(),
                                     {"qt-test", "0", "", ""}, {}, options),
                  std::nullopt);
        options.prefsPath = mDirectory.file("status.plist");
        options.firmwarePath = mDirectory.write("image.bin", shortFirmwareImage());
        CLaunch launch("qt-test", options);
        std::string refusal;
        EXPECT_EQ(launch.prepare(refusal), ELaunchRefusal::kNone) << refusal;
        CMainWindow window;
        window.show();
        CQtUI ui(window);
        QTimer clicker;
        int waitingTicks = 0;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            QMessageBox* box = ui.openBox();
            if (box == nullptr) {
                return;
            }
            // The message's first line: what follows says why, in the MIDI system's words.
            const std::string text = box->text().section('\n', 0, 0).toStdString();
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

TEST_F(QtWorkflow, EveryScenarioEndsWithItsMessageAndStatus) {
    for (const SScenario& row : ReadScenarios(5)) {
        SCOPED_TRACE(row.lastPrompt);
        std::filesystem::remove(mDirectory.file("status.plist"));
        prompts.clear();
        launch(row.options);
        ASSERT_FALSE(prompts.empty());
        EXPECT_EQ(prompts.back(), row.lastPrompt);
        EXPECT_EQ(status(), row.status);
        if (row.status == 2) {
            EXPECT_EQ(prompts, (std::vector<std::string>{
                                   "Ready", "Please change VYR to update mode.", "Complete"}));
            EXPECT_NE(report.find("identical to the image: yes"), std::string::npos) << report;
        }
    }
}

} // namespace
