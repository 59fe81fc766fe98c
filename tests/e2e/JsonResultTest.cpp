// vyr-update --json: one JSON object on stdout in every outcome, read with a JSON parser,
// with the fields its man page promises.
#include "ChildProcess.h"
#include "ShortImage.h"
#include "TestDirectory.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

namespace {

using json = nlohmann::json;

class JsonResult : public testing::Test {
  protected:
    // vyr-update --yes --json with inArguments, stdout only (stderr is for people).
    std::unique_ptr<CChildProcess> start(std::vector<std::string> inArguments) {
        inArguments.insert(inArguments.begin(),
                           {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>/dev/null", VYR_UPDATE, "--yes",
                            "--json", "--prefs", mDirectory.file("status.plist")});
        return std::make_unique<CChildProcess>(inArguments, std::vector<std::string>{"LC_ALL=C"},
                                               CChildProcess::ETerminal::kPipes);
    }
    CTestDirectory mDirectory;
};

TEST_F(JsonResult, EveryOutcomeIsOneObjectWithItsFields) {
    const std::string image = mDirectory.write("short.bin", shortFirmwareImage());
    const std::string bad = mDirectory.write("bad.bin", std::vector<std::uint8_t>(64, 0x5A));
    const struct {
        const char* outcome;
        int exit;
        std::vector<std::string> arguments;
        std::function<void(CChildProcess&)> meanwhile; // what happens while it runs
        bool transfer;                                 // a transfer began
    } cases[] = {
        {"complete", 0, {"--simulate", "--firmware", image}, nullptr, true},
        {"communication error",
         1,
         {"--simulate", "--firmware", image, "--sim-vanish-at", "10"},
         nullptr,
         true},
        {"unexpected error",
         3,
         {"--simulate", "--firmware", image, "--sim-service-fault-at", "3"},
         nullptr,
         true},
        {"gave up",
         4,
         {"--simulate", "--firmware", image, "--sim-normal-mode", "--tries", "1"},
         nullptr,
         false},
        {"image refused", 5, {"--simulate", "--firmware", bad}, nullptr, false},
        {"cancelled",
         2,
         {"--simulate", "--firmware", image, "--sim-absent"},
         [](CChildProcess& ioRun) {
             std::this_thread::sleep_for(std::chrono::milliseconds(500));
             ioRun.kill(SIGTERM);
         },
         false},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(mDirectory.file("status.plist"));
        auto run = start(c.arguments);
        if (c.meanwhile) {
            c.meanwhile(*run);
        }
        EXPECT_EQ(run->wait(), c.exit) << c.outcome;
        json result;
        ASSERT_NO_THROW(result = json::parse(run->output())) << c.outcome << ": " << run->output();
        EXPECT_EQ(result["outcome"], c.outcome);
        EXPECT_EQ(result["exit_status"], c.exit);
        for (const char* field : {"messages_sent", "messages_in_image", "bytes_sent"}) {
            EXPECT_TRUE(result[field].is_number_unsigned()) << c.outcome << ": " << field;
        }
        for (const char* field : {"seconds", "transfer_seconds"}) {
            EXPECT_TRUE(result[field].is_number()) << c.outcome << ": " << field;
        }
        EXPECT_TRUE(result["resumed"].is_boolean()) << c.outcome;
        EXPECT_TRUE(result["message"].is_string()) << c.outcome;
        if (!c.transfer) {
            EXPECT_TRUE(result["device"].is_null()) << c.outcome;
            EXPECT_TRUE(result["simulation"].is_null()) << c.outcome;
            EXPECT_EQ(result["messages_sent"], 0) << c.outcome;
            continue;
        }
        EXPECT_EQ(result["device"]["model"], "VYR10") << c.outcome;
        EXPECT_EQ(result["device"]["name"], "VYR10 Port 1") << c.outcome;
        EXPECT_TRUE(result["device"]["address"].is_string()) << c.outcome;
        EXPECT_EQ(result["messages_in_image"], 50) << c.outcome;
        const json& simulation = result["simulation"];
        EXPECT_EQ(simulation["messages_expected"], 50) << c.outcome;
        EXPECT_EQ(simulation["messages_received"], result["messages_sent"]) << c.outcome;
        EXPECT_EQ(simulation["identical"], std::string(c.outcome) == "complete") << c.outcome;
        for (const char* field : {"min", "median", "p99", "max"}) {
            EXPECT_TRUE(simulation["lateness_ms"][field].is_number()) << c.outcome;
        }
    }
    // What the refusal said, and what a complete transfer carried.
    auto refused = start({"--simulate", "--firmware", bad});
    refused->wait();
    EXPECT_NE(json::parse(refused->output())["message"].get<std::string>().find(bad),
              std::string::npos);
    std::filesystem::remove(mDirectory.file("status.plist"));
    auto complete = start({"--simulate", "--firmware", image});
    complete->wait();
    const json done = json::parse(complete->output());
    EXPECT_EQ(done["messages_sent"], 50);
    EXPECT_EQ(done["bytes_sent"], 50 * 200);
    EXPECT_EQ(done["resumed"], false);
}

TEST_F(JsonResult, AResumedRunSaysSo) {
    const std::string image = mDirectory.write("short.bin", shortFirmwareImage());
    auto failed = start({"--simulate", "--firmware", image, "--sim-fail-at", "5"});
    EXPECT_EQ(failed->wait(), 1);
    auto resumed = start({"--simulate", "--firmware", image});
    EXPECT_EQ(resumed->wait(), 0);
    const json result = json::parse(resumed->output());
    EXPECT_EQ(result["outcome"], "complete");
    EXPECT_EQ(result["resumed"], true);
}

} // namespace
