// The real vyr-update --simulate, driven as a user drives it: on a pseudo-terminal for the
// interactive paths, with pipes and --yes for unattended ones.
#include "ChildProcess.h"
#include "Shell/PreferenceFile.h"
#include "ShortImage.h"
#include "TestDirectory.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

namespace {

using ETerminal = CChildProcess::ETerminal;

class Update : public testing::Test {
  protected:
    std::unique_ptr<CChildProcess> start(std::vector<std::string> inArguments,
                                         ETerminal inTerminal) {
        inArguments.insert(inArguments.begin(), {VYR_UPDATE, "--simulate", "--prefs", prefs()});
        return std::make_unique<CChildProcess>(inArguments, std::vector<std::string>{"LC_ALL=C"},
                                               inTerminal);
    }
    std::string prefs() const { return mDirectory.file("status.plist"); }
    std::optional<std::int32_t> status() const {
        std::int32_t value = 0;
        return CPreferenceFile(prefs()).load(value) ? std::optional<std::int32_t>(value)
                                                    : std::nullopt;
    }

    CTestDirectory mDirectory;
};

TEST_F(Update, UnattendedRunCompletesWithAnIdenticalTransfer) {
    auto run = start({"--yes"}, ETerminal::kPipes);
    EXPECT_EQ(run->wait(), 0) << run->output();
    EXPECT_NE(run->output().find("Waiting..."), std::string::npos);
    EXPECT_NE(run->output().find("Complete"), std::string::npos);
    EXPECT_NE(run->output().find("messages received: 320 of 320"), std::string::npos)
        << run->output();
    EXPECT_NE(run->output().find("identical to the image: yes"), std::string::npos);
    EXPECT_EQ(status(), 2);
}

TEST_F(Update, InteractiveRunOnATerminal) {
    auto run = start({}, ETerminal::kPseudoTerminal);
    ASSERT_TRUE(run->expect("Waiting...")) << run->output();
    ASSERT_TRUE(run->expect("Ready")) << run->output();
    run->send("\n");
    ASSERT_TRUE(run->expect("Please change VYR to update mode.")) << run->output();
    run->send("maybe\n");
    ASSERT_TRUE(run->expect("Please answer: [Enter] OK   [2] Cancel")) << run->output();
    run->send("ok\n");
    ASSERT_TRUE(run->expect("Now updating...")) << run->output();
    run->send("x\n"); // typed during the transfer: must not answer the notice that follows
    ASSERT_TRUE(run->expect("Complete")) << run->output();
    run->send("\n");
    EXPECT_EQ(run->wait(), 0) << run->output();
    EXPECT_NE(run->output().find("100%"), std::string::npos);
    EXPECT_EQ(run->output().find("Please answer", run->output().find("Complete")),
              std::string::npos)
        << run->output();
    EXPECT_EQ(status(), 2);
}

// A notice from another thread ends the progress line instead of cutting into it.
TEST_F(Update, DiagnosticsNeverCutIntoTheProgressLine) {
    auto run = start({"--sim-vanish-at", "100"}, ETerminal::kPseudoTerminal);
    ASSERT_TRUE(run->expect("Ready")) << run->output();
    run->send("\n");
    ASSERT_TRUE(run->expect("Please change VYR to update mode.")) << run->output();
    run->send("\n");
    ASSERT_TRUE(run->expect("Communication error.")) << run->output();
    run->send("\n");
    EXPECT_EQ(run->wait(), 1) << run->output();
    EXPECT_NE(run->output().find("\nA MIDI Device removed!"), std::string::npos) << run->output();
    EXPECT_NE(run->output().find("Run the updater again to resume"), std::string::npos);
}

TEST_F(Update, CancelWhileWaitingWritesNothing) {
    auto run = start({"--sim-absent"}, ETerminal::kPseudoTerminal);
    ASSERT_TRUE(run->expect("(or wait)")) << run->output();
    run->send("\x04"); // Ctrl-D: the end of input backs out, even of a wait
    EXPECT_EQ(run->wait(), 2) << run->output();
    EXPECT_EQ(run->output().find("Ready"), std::string::npos);
    EXPECT_EQ(status(), std::nullopt);
}

TEST_F(Update, NoDeviceAtThePromptAsksAgain) {
    ASSERT_TRUE(CPreferenceFile(prefs()).save(1));
    auto run = start({"--sim-absent"}, ETerminal::kPseudoTerminal);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(run->expect("Please change VYR to update mode.")) << run->output();
        run->send("\n");
        ASSERT_TRUE(run->expect("Please check that VYR is connected.")) << run->output();
        run->send("\n");
    }
    ASSERT_TRUE(run->expect("Please change VYR to update mode.")) << run->output();
    run->send("cancel\n");
    EXPECT_EQ(run->wait(), 2) << run->output();
    EXPECT_EQ(run->output().find("Waiting..."), std::string::npos)
        << "a stored status skips the wait";
}

// Every failure option of the simulation reaches its message, exit status and status file.
TEST_F(Update, FailuresEndWithTheirMessageStatusAndExitStatus) {
    const struct {
        std::vector<std::string> arguments;
        int exit;
        const char* message;
        std::optional<std::int32_t> status;
    } cases[] = {
        {{"--sim-normal-mode", "--tries", "2"}, 4, "given up after 2 tries", std::nullopt},
        {{"--sim-absent", "--wait=2"}, 4, "no answer in time", std::nullopt},
        {{"--sim-fail-at", "50"}, 1, "messages received: 49 of 320", 1},
        {{"--sim-vanish-at", "10"}, 1, "Communication error.", 1},
        {{"--sim-service-fault-at", "3"}, 3, "Unexpected error.", 1},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(prefs());
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.begin(), "--yes");
        auto run = start(arguments, ETerminal::kPipes);
        EXPECT_EQ(run->wait(std::chrono::seconds(60)), c.exit) << run->output();
        EXPECT_NE(run->output().find(c.message), std::string::npos) << run->output();
        EXPECT_EQ(status(), c.status) << c.message;
    }
}

TEST_F(Update, KilledTransferLeavesStatusOneAndTheNextRunResumes) {
    auto killed = start({"--yes"}, ETerminal::kPipes);
    ASSERT_TRUE(killed->expect("Now updating...")) << killed->output();
    killed->kill(SIGKILL);
    EXPECT_EQ(killed->wait(), 128 + SIGKILL);
    EXPECT_EQ(status(), 1);

    auto resumed = start({"--yes"}, ETerminal::kPipes);
    EXPECT_EQ(resumed->wait(), 0) << resumed->output();
    EXPECT_EQ(resumed->output().find("Waiting..."), std::string::npos);
    EXPECT_EQ(status(), 2);
}

TEST_F(Update, OneCtrlCOnlyWarnsTheSecondStops) {
    auto run = start({}, ETerminal::kPseudoTerminal);
    ASSERT_TRUE(run->expect("Ready")) << run->output();
    run->send("\n");
    ASSERT_TRUE(run->expect("Please change VYR to update mode.")) << run->output();
    run->send("\n");
    ASSERT_TRUE(run->expect("Now updating...")) << run->output();
    run->kill(SIGINT);
    ASSERT_TRUE(run->expect("Press Ctrl-C again to stop anyway.")) << run->output();
    run->kill(SIGINT);
    EXPECT_EQ(run->wait(), 130) << run->output();
    EXPECT_EQ(status(), 1);
}

std::string shortImage(const CTestDirectory& inDirectory) {
    return inDirectory.write("short.bin", shortFirmwareImage());
}

// During the transfer only a second Ctrl-C or SIGTERM stops it: one SIGTERM, Ctrl-Z or a
// closed terminal only warns or is ignored, and the transfer completes.
TEST_F(Update, SignalsDuringTheTransfer) {
    const std::string image = shortImage(mDirectory);
    const struct {
        std::vector<int> signals;
        int exit;
        std::int32_t status;
    } cases[] = {
        {{SIGTERM}, 0, 2},
        {{SIGTSTP}, 0, 2},
        {{SIGHUP}, 0, 2},
        {{SIGTERM, SIGINT}, 130, 1},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(prefs());
        auto run = start({"--yes", "--firmware", image}, ETerminal::kPipes);
        ASSERT_TRUE(run->expect("Now updating...")) << run->output();
        run->kill(c.signals.front());
        if (c.signals.front() != SIGHUP) {
            ASSERT_TRUE(run->expect("Press Ctrl-C again to stop anyway.")) << run->output();
        }
        if (c.signals.size() > 1) {
            run->kill(c.signals.back());
        }
        EXPECT_EQ(run->wait(), c.exit) << c.signals.front() << ": " << run->output();
        EXPECT_EQ(status(), c.status) << c.signals.front();
    }
}

// Nothing touches the device or the status before the image is known good.
TEST_F(Update, RefusedImageEndsTheRunBeforeAnyPrompt) {
    ASSERT_TRUE(CPreferenceFile(prefs()).save(2));
    const std::string typo = mDirectory.file("typo.bin");
    auto run = start({"--yes", "--firmware", typo}, ETerminal::kPipes);
    EXPECT_EQ(run->wait(), 5);
    EXPECT_EQ(run->output(), "vyr-update: " + typo + ": cannot open: No such file or directory\n");
    EXPECT_EQ(status(), 2);
}

// A reader that goes away (| head) does not stop the transfer.
TEST_F(Update, ClosedOutputDoesNotStopTheTransfer) {
    std::string command = "(";
    command += VYR_UPDATE;
    command += " --simulate --yes --prefs " + prefs() + " --firmware " + shortImage(mDirectory) +
               "; echo $? >" + mDirectory.file("rc") + ") | head -c 1 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream rc(mDirectory.file("rc"));
    int exit = -1;
    rc >> exit;
    EXPECT_EQ(exit, 0);
    EXPECT_EQ(status(), 2);
}

// With a German locale every line of the workflow is German; without the locale, all of it
// is English: never half and half.
TEST_F(Update, SpeaksTheUsersLanguageOrEnglishWhole) {
    const std::string locales = mDirectory.file("locales");
    const std::string make = "localedef -i de_DE -f UTF-8 " + locales + "/de_DE.UTF-8 2>/dev/null";
    std::filesystem::create_directories(locales);
    if (std::system(make.c_str()) != 0) {
        GTEST_SKIP() << "no German locale can be built here (package locales)";
    }
    const std::string image = shortImage(mDirectory);
    const std::vector<std::string> german = {"Warten...", "Bereit",
                                             "Bitte schalten Sie VYR in den Aktualisierungsmodus.",
                                             "Wird aktualisiert...", "Fertig"};
    const std::vector<std::string> english = {"Waiting...", "Ready", "Please change VYR",
                                              "Now updating...", "Complete"};
    for (const bool localeExists : {true, false}) {
        std::filesystem::remove(prefs());
        CChildProcess run(
            {VYR_UPDATE, "--simulate", "--yes", "--prefs", prefs(), "--firmware", image},
            {"LANGUAGE=de", "LC_ALL=de_DE.UTF-8",
             "LOCPATH=" + (localeExists ? locales : mDirectory.file("none"))},
            ETerminal::kPipes);
        EXPECT_EQ(run.wait(), 0) << run.output();
        for (std::size_t i = 0; i < german.size(); ++i) {
            const std::string& expected = localeExists ? german[i] : english[i];
            const std::string& other = localeExists ? english[i] : german[i];
            EXPECT_NE(run.output().find(expected), std::string::npos) << run.output();
            EXPECT_EQ(run.output().find(other), std::string::npos) << run.output();
        }
    }
}

TEST_F(Update, WithoutATerminalItNeedsYes) {
    auto run = start({}, ETerminal::kPipes);
    EXPECT_EQ(run->wait(), 64);
    EXPECT_NE(run->output().find("run with --yes"), std::string::npos) << run->output();
}

} // namespace
