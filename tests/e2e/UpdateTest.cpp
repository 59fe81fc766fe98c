// The real vyr-update --simulate as a whole process: its exit statuses, signals, lost output,
// locale, --json, and a resume after it was killed.
#include "ChildProcess.h"
#include "Scenarios.h"
#include "Shell/Launch/PreferenceFile.h"
#include "ShortImage.h"
#include "TestDirectory.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace {

using json = nlohmann::json;

class Update : public testing::Test {
  protected:
    std::unique_ptr<CChildProcess> start(std::vector<std::string> inArguments,
                                         bool inJson = false) {
        inArguments.insert(inArguments.begin(), {VYR_UPDATE, "--simulate", "--prefs", prefs()});
        return std::make_unique<CChildProcess>(inArguments, std::vector<std::string>{"LC_ALL=C"},
                                               inJson);
    }
    // vyr-update --yes --json: output() is the JSON alone, the lines for people are errors().
    std::unique_ptr<CChildProcess> startJson(std::vector<std::string> inArguments) {
        inArguments.insert(inArguments.begin(), {"--yes", "--json"});
        return start(inArguments, true);
    }
    std::string prefs() const { return mDirectory.file("status.plist"); }
    std::optional<std::int32_t> status() const {
        std::int32_t value = 0;
        return CPreferenceFile(prefs()).load(value) ? std::optional<std::int32_t>(value)
                                                    : std::nullopt;
    }

    CTestDirectory mDirectory;
};

std::string shortImage(const CTestDirectory& inDirectory) {
    return inDirectory.write("short.bin", shortFirmwareImage());
}

// Every way an unattended run ends: its exit status, the line that says why, what the status
// file holds, and one JSON object on stdout with the fields the man page promises. The
// misbehaviours of tests/scenarios.txt, and what only a whole process shows.
TEST_F(Update, UnattendedRunsEndWithTheirStatusMessageAndResult) {
    const std::string image = shortImage(mDirectory);
    const std::string bad = mDirectory.write("bad.bin", std::vector<std::uint8_t>(64, 0x5A));
    struct SCase {
        std::string outcome;
        int exit;
        std::vector<std::string> arguments; // --firmware IMAGE unless they name another
        std::string message;                // for people, on stderr
        std::optional<std::int32_t> status;
        bool transfer;           // a transfer began
        std::string stopAt = {}; // SIGTERM once stderr shows this
    };
    std::vector<SCase> cases = {
        {"gave up",
         4,
         {"--device", "no such port", "--wait=2"},
         "the --device text count: \"no such port\"",
         {},
         false},
        {"image refused", 5, {"--firmware", bad}, "not a Standard MIDI File", {}, false},
        // A stop request backs out in order at any moment before the first byte: while it
        // waits for the device, and during the second that checks update mode.
        {"cancelled", 2, {"--sim-absent"}, "(stopped by a signal)", {}, false, "(waiting up to"},
        // --wait 1 (the least) is enough for a device that is there.
        {"cancelled",
         2,
         {"--wait=1"},
         "nothing was sent",
         {},
         false,
         "Please change VYR to update mode.\n-> OK (--yes)"},
    };
    for (SScenario& row : ReadScenarios(20)) {
        if (row.options == std::vector<std::string>{"--sim-absent"}) {
            row.options.push_back("--wait=2"); // the wait for no device, shortened
        }
        cases.push_back({row.outcome, row.exitStatus, row.options, row.says, row.status,
                         row.status.has_value()});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        std::filesystem::remove(prefs());
        std::vector<std::string> arguments = c.arguments;
        if (arguments.empty() || arguments.front() != "--firmware") {
            arguments.insert(arguments.begin(), {"--firmware", image});
        }
        auto run = startJson(arguments);
        if (!c.stopAt.empty()) {
            ASSERT_TRUE(run->expect(c.stopAt, std::chrono::seconds(30), true))
                << "never said \"" << c.stopAt << "\": " << run->errors();
            run->kill(SIGTERM);
        }
        EXPECT_EQ(run->wait(), c.exit) << run->errors();
        EXPECT_NE(run->errors().find(c.message), std::string::npos) << run->errors();
        EXPECT_EQ(status(), c.status);
        json result;
        ASSERT_NO_THROW(result = json::parse(run->output())) << run->output();
        EXPECT_EQ(result["outcome"], c.outcome);
        EXPECT_EQ(result["exit_status"], c.exit);
        for (const char* field : {"messages_sent", "messages_in_image", "bytes_sent"}) {
            EXPECT_TRUE(result[field].is_number_unsigned()) << field;
        }
        EXPECT_TRUE(result["seconds"].is_number() && result["transfer_seconds"].is_number());
        EXPECT_EQ(result["resumed"], false);
        // Why it ended, as people were told it (on one line); nothing to say when complete.
        const std::string why = result["message"];
        EXPECT_EQ(why.empty(), c.exit == 0) << why;
        std::string told = run->errors();
        std::replace(told.begin(), told.end(), '\n', ' ');
        EXPECT_NE(told.find(why), std::string::npos) << why << "\n" << run->errors();
        if (!c.transfer) {
            EXPECT_TRUE(result["device"].is_null() && result["simulation"].is_null());
            EXPECT_EQ(result["messages_sent"], 0);
            continue;
        }
        EXPECT_EQ(result["device"]["model"], "VYR10");
        EXPECT_EQ(result["device"]["name"], "VYR10 Port 1");
        EXPECT_TRUE(result["device"]["address"].is_string());
        EXPECT_EQ(result["messages_in_image"], 50);
        const json& simulation = result["simulation"];
        EXPECT_EQ(simulation["messages_expected"], 50);
        EXPECT_EQ(simulation["messages_received"], result["messages_sent"]);
        EXPECT_EQ(simulation["identical"], c.exit == 0);
        for (const char* field : {"min", "median", "p99", "max"}) {
            EXPECT_TRUE(simulation["lateness_ms"][field].is_number()) << field;
        }
        if (c.exit == 0) {
            EXPECT_EQ(result["messages_sent"], 50);
            EXPECT_EQ(result["bytes_sent"], 50 * 200);
        }
    }
}

// A transfer killed outright leaves status 1; the next run goes straight to the transfer
// and says it resumed.
TEST_F(Update, KilledTransferIsResumedByTheNextRun) {
    const std::string image = shortImage(mDirectory);
    auto killed = start({"--yes", "--firmware", image});
    ASSERT_TRUE(killed->expect("Now updating...")) << killed->output();
    killed->kill(SIGKILL);
    EXPECT_EQ(killed->wait(), 128 + SIGKILL);
    EXPECT_EQ(status(), 1);

    auto resumed = startJson({"--firmware", image});
    EXPECT_EQ(resumed->wait(), 0) << resumed->errors();
    const json result = json::parse(resumed->output());
    EXPECT_EQ(result["outcome"], "complete");
    EXPECT_EQ(result["resumed"], true);
    EXPECT_EQ(resumed->errors().find("Waiting..."), std::string::npos)
        << "a stored status skips the wait";
    EXPECT_EQ(status(), 2);
}

// During the transfer only a second Ctrl-C or SIGTERM stops it, and lets go of the lock: one
// Ctrl-C, SIGTERM, Ctrl-Z or a closed terminal only warns or is ignored, and the transfer
// completes, none early.
TEST_F(Update, SignalsDuringTheTransfer) {
    const std::string image = shortImage(mDirectory);
    const struct {
        std::vector<int> signals;
        int exit;
        std::int32_t status;
    } cases[] = {
        {{SIGTERM}, 0, 2},           {{SIGTSTP}, 0, 2},          {{SIGHUP}, 0, 2},
        {{SIGTERM, SIGINT}, 130, 1}, {{SIGINT, SIGINT}, 130, 1},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(prefs());
        auto run = start({"--yes", "--firmware", image});
        ASSERT_TRUE(run->expect("Now updating...")) << run->output();
        run->kill(c.signals.front());
        if (c.signals.front() != SIGHUP) {
            // No terminal to press Ctrl-C on: the warning names the signals.
            ASSERT_TRUE(run->expect("Send SIGINT or SIGTERM again to stop anyway."))
                << run->output();
        }
        if (c.signals.size() > 1) {
            run->kill(c.signals.back());
        }
        EXPECT_EQ(run->wait(), c.exit) << c.signals.front() << ": " << run->output();
        EXPECT_EQ(status(), c.status) << c.signals.front();
        EXPECT_FALSE(std::filesystem::exists(prefs() + ".lock")) << "the lock goes in any case";
        if (c.exit == 130) { // said on its own line
            EXPECT_NE(run->output().find("\nStopped. VYR stays in update mode"), std::string::npos)
                << run->output();
        }
        if (c.exit == 0) { // a sleep the signal cut short is slept to its end
            EXPECT_NE(run->output().find("more than 1 ms early: 0\n"), std::string::npos)
                << run->output();
        }
    }
}

// A reader that goes away (| head) does not stop the transfer, and the people's lines it
// lost are told; output that is the result itself (--json, --list) lost is a failure.
TEST_F(Update, LostOutputIsToldAndFailsWhereItIsTheResult) {
    const std::string update = std::string(VYR_UPDATE) + " --simulate --yes --prefs " + prefs() +
                               " --firmware " + shortImage(mDirectory);
    const std::string rc = " 2>" + mDirectory.file("err") + "; echo $? >" + mDirectory.file("rc");
    const struct {
        std::string command;
        const char* exit;
        std::optional<std::int32_t> status;
    } cases[] = {
        {"(" + update + rc + ") | head -c 1 >/dev/null", "0\n", 2},
        {update + " --json >/dev/full" + rc, "3\n", 2},
        {std::string(VYR_UPDATE) + " --list --midi virtual >/dev/full" + rc, "3\n", {}},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(prefs());
        ASSERT_EQ(std::system(("sh -c '" + c.command + "'").c_str()), 0) << c.command;
        EXPECT_EQ(CTestDirectory::read(mDirectory.file("rc")), c.exit) << c.command;
        const std::string errors = CTestDirectory::read(mDirectory.file("err"));
        EXPECT_NE(errors.find("vyr-update: some output was lost: "), std::string::npos)
            << c.command << ": " << errors;
        EXPECT_EQ(status(), c.status) << c.command;
    }
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
             "LOCPATH=" + (localeExists ? locales : mDirectory.file("none"))});
        EXPECT_EQ(run.wait(), 0) << run.output();
        for (std::size_t i = 0; i < german.size(); ++i) {
            const std::string& expected = localeExists ? german[i] : english[i];
            const std::string& other = localeExists ? english[i] : german[i];
            EXPECT_NE(run.output().find(expected), std::string::npos) << run.output();
            EXPECT_EQ(run.output().find(other), std::string::npos) << run.output();
        }
    }
    // What the codec and the command line say too: a refused image's reason, a metavariable.
    const std::string bad = mDirectory.write("bad.mid", std::vector<std::uint8_t>{'M', 'T'});
    for (const auto& [arguments, expected] :
         {std::pair<std::vector<std::string>, std::string>{
              {VYR_UPDATE, "--simulate", "--yes", "--prefs", prefs(), "--firmware", bad},
              "abgelehnt bei Byte 2: zu kurz"},
          {{VYR_UPDATE, "--help"}, "--firmware DATEI"}}) {
        CChildProcess run(arguments, {"LANGUAGE=de", "LC_ALL=de_DE.UTF-8", "LOCPATH=" + locales});
        run.wait();
        EXPECT_NE(run.output().find(expected), std::string::npos) << run.output();
    }
}

// Without a terminal it needs --yes, and so do --wait and --tries; a program that asked for JSON
// gets an object for a usage error too, and the port listing as JSON; people get the lines of both
// streams in the order they were written when one file takes both.
TEST_F(Update, RefusalsListingsAndLinesForProgramsAndPeople) {
    auto run = start({});
    EXPECT_EQ(run->wait(), 64);
    EXPECT_NE(run->output().find("run with --yes"), std::string::npos) << run->output();
    auto alone = start({"--tries=2"});
    EXPECT_EQ(alone->wait(), 64);
    EXPECT_NE(alone->output().find("--tries go with --yes"), std::string::npos) << alone->output();

    auto shared = start({"--yes", "--sim-absent", "--wait=1"});
    EXPECT_EQ(shared->wait(), 4);
    const std::string lines = shared->output();
    EXPECT_LT(lines.find("(no answer in time)"), lines.find("vyr-update: gave up")) << lines;

    auto usage = startJson({"--bogus"});
    EXPECT_EQ(usage->wait(), 64);
    json result;
    ASSERT_NO_THROW(result = json::parse(usage->output())) << usage->output();
    EXPECT_EQ(result["outcome"], "usage error");
    EXPECT_EQ(result["message"], "unknown option --bogus");

    auto list = start({"--list", "--json"});
    EXPECT_EQ(list->wait(), 0);
    ASSERT_NO_THROW(result = json::parse(list->output())) << list->output();
    EXPECT_EQ(result["destinations"][0]["model"], "VYR10");
    EXPECT_EQ(result["destinations"][0]["used"], true);

    // No MIDI system to list (ALSA without its configuration): the object says why not.
    CChildProcess unlisted({VYR_UPDATE, "--list", "--json"},
                           {"LC_ALL=C", "ALSA_CONFIG_PATH=" + mDirectory.file("none")}, true);
    EXPECT_EQ(unlisted.wait(), 7);
    ASSERT_NO_THROW(result = json::parse(unlisted.output())) << unlisted.output();
    EXPECT_EQ(result["outcome"], "midi unavailable");
    EXPECT_NE(unlisted.errors().find("cannot reach MIDI devices"), std::string::npos)
        << unlisted.errors();
    EXPECT_NE(unlisted.errors().find("vyr-update --simulate"), std::string::npos)
        << unlisted.errors();
}

} // namespace
