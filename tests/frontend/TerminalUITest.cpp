// What only the terminal does: answers typed as words, keys typed too early, and notices from
// other threads beside the progress line.
#include "Common/DebugUtil.h"
#include "TerminalDriver.h"

#include <sys/ioctl.h>

namespace {

const SAlert kQuestion{"Please change VYR to update mode.",
                       "Please change VYR to update mode.",
                       {"OK", "Cancel"},
                       false};

// "2" typed before the prompt would cancel: it answers nothing. An answer that is no button
// is asked again; a number picks the button it stands beside.
TEST(Terminal, KeysTypedBeforeThePromptAndUnknownAnswersAnswerNothing) {
    CTerminalDriver driver;
    driver.type("2\n");
    ASSERT_TRUE(eventually([&] {
        int waiting = 0;
        return ioctl(driver.terminal(), FIONREAD, &waiting) == 0 && waiting > 0;
    }));
    driver.whenShown(kQuestion.message, [&](const std::string&) { driver.type("maybe\n"); });
    std::thread again([&] {
        EXPECT_TRUE(eventually([&] {
            return driver.screen().find("Please answer: [Enter] OK   [2] Cancel\r\n") !=
                   std::string::npos;
        })) << driver.screen();
        driver.type("1\n");
    });
    EXPECT_EQ(driver.ui().runModal(kQuestion), kAlertFirstButtonReturn);
    again.join();
}

TEST(Terminal, ANoticeFromAnotherThreadEndsTheProgressLine) {
    CTerminalDriver driver;
    CProgressDisplay& display = driver.ui().showProgressView();
    display.setMessage("Now updating...");
    display.setProgress(40, 100);
    std::thread([] { mstd::plainDiagnostic("A MIDI Device removed!"); }).join();
    display.setProgress(50, 100);
    EXPECT_TRUE(eventually([&] { return driver.screen().find(" 50%") != std::string::npos; }));
    EXPECT_NE(driver.screen().find(" 40%\r\nA MIDI Device removed!\r\n"), std::string::npos)
        << driver.screen();
}

} // namespace
