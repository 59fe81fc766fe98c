// What only the terminal does: answers typed as words, keys typed too early, the progress line
// and notices from other threads beside it, and the unattended answers of --yes.
#include "Common/DebugUtil.h"
#include "Shell/Launch/StopRule.h"
#include "TerminalDriver.h"

#include <csignal>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// "2" typed before the prompt would cancel: it answers nothing. A number picks the button it
// stands beside, and an answer that is no button is asked again.
TEST(Terminal, KeysTypedBeforeThePromptAndUnknownAnswersAnswerNothing) {
    CTerminalDriver driver;
    driver.type("2\n");
    ASSERT_TRUE(eventually([&] {
        int waiting = 0;
        return ioctl(driver.terminal(), FIONREAD, &waiting) == 0 && waiting > 0;
    }));
    driver.whenShown(kQuestion.message, [&](const std::string&) { driver.type("1\n"); });
    ASSERT_EQ(driver.ui().runModal(kQuestion), kAlertFirstButtonReturn);

    driver.whenShown(kQuestion.message, [&](const std::string&) {
        driver.type("maybe\n");
        EXPECT_TRUE(eventually([&] {
            return driver.screen().find("Please answer: [Enter] OK   [2] Cancel\r\n") !=
                   std::string::npos;
        })) << driver.screen();
        driver.type("2\n");
    });
    EXPECT_EQ(driver.ui().runModal(kQuestion), kAlertSecondButtonReturn);
}

// 29 columns leave room for a bar of 5, the least worth drawing.
TEST(Terminal, TheProgressLineFitsTheTerminalAndANoticeEndsIt) {
    CTerminalDriver driver;
    const winsize size{.ws_row = 24, .ws_col = 29, .ws_xpixel = 0, .ws_ypixel = 0};
    ASSERT_EQ(ioctl(driver.terminal(), TIOCSWINSZ, &size), 0);
    CProgressDisplay& display = driver.ui().showProgressView();
    display.setMessage("Now updating...");
    display.setProgress(40, 100);
    std::thread([] { mstd::plainDiagnostic("A MIDI Device removed!"); }).join();
    display.setProgress(50, 100);
    EXPECT_TRUE(eventually([&] { return driver.screen().find(" 50%") != std::string::npos; }));
    EXPECT_EQ(driver.screen(), "\rNow updating... [##   ]  40%\r\nA MIDI Device removed!\r\n"
                               "\rNow updating... [##   ]  50%");
}

// Where the image's length is known, the time left follows the percentage; in a log too.
TEST(Terminal, TheProgressSaysTheTimeLeft) {
    std::FILE* log = std::tmpfile();
    CTerminalUI ui({.transferSeconds = 1000, .output = log, .errors = log});
    CProgressDisplay& display = ui.showProgressView();
    display.setMessage("Now updating...");
    display.setProgress(0, 100);
    std::rewind(log);
    std::string text(256, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), log));
    std::fclose(log);
    EXPECT_EQ(text, "Now updating... 0%, about 17 min left\n");
}

// Unattended (--yes) on a terminal: after an error that found no device, the device is waited
// for before the prompt is answered again, and a stop ends that wait; a prompt that keeps
// failing is given up.
TEST(Terminal, UnattendedWaitsForADeviceThatWentAwayAndGivesUpARepeatedFailure) {
    CStopRule::install();
    const struct {
        int listedFrom; // the poll from which the device is listed again; -1: never, -2: a
                        // stop comes instead
        std::vector<int> errors;
        int result;
        const char* says;
    } cases[] = {
        {1, {1000}, kAlertFirstButtonReturn, "(waiting up to 1 s for the device)\n-> OK (--yes)"},
        {-1, {1000}, kAlertSecondButtonReturn, "-> Cancel (no device in time)"},
        {-2, {1000}, kAlertSecondButtonReturn, "-> Cancel (stopped by a signal)"},
        {0, {1002, 1002}, kAlertSecondButtonReturn, "-> Cancel (--yes: given up after 2 tries)"},
    };
    for (const auto& c : cases) {
        std::FILE* output = std::tmpfile();
        int polls = 0;
        CTerminalUI terminal({.output = output, .errors = output});
        CUnattended ui(terminal, terminal,
                       {.deviceWaitSeconds = 1, .promptRepeats = 2, .deviceListed = [&] {
                            if (c.listedFrom == -2 && polls++ == 1) {
                                kill(getpid(), SIGTERM);
                            }
                            return c.listedFrom >= 0 && polls++ >= c.listedFrom;
                        }});
        int result = ui.runModal(kQuestion);
        for (int code : c.errors) {
            ui.showError("failed", code);
            result = ui.runModal(kQuestion);
        }
        std::rewind(output);
        std::string text(4096, '\0');
        text.resize(std::fread(text.data(), 1, text.size(), output));
        std::fclose(output);
        EXPECT_EQ(result, c.result) << text;
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
        EXPECT_EQ(ui.gaveUpBecause().empty(),
                  c.result != kAlertSecondButtonReturn || c.listedFrom == -2)
            << text;
        CStopRule::forget();
    }
}

} // namespace
