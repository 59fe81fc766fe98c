// vyr-update against logind and UPower mocked on a private system bus: the computer is kept
// awake for the transfer and let go however the transfer ends; a low battery stops an
// unattended run before anything is sent; without a bus the update goes on and says so.
#include "ChildProcess.h"
#include "Eventually.h"
#include "ShortImage.h"
#include "TestDirectory.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <thread>
#include <utility>

namespace {

using json = nlohmann::json;

constexpr const char* kPython = "/usr/bin/python3";

// The output of a command line, "" when it cannot run.
std::string commandOutput(const std::string& inCommand) {
    std::string output;
    if (std::FILE* pipe = popen(inCommand.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            output.append(buffer, n);
        }
        pclose(pipe);
    }
    return output;
}

// A dbus-daemon of the test's own, with logind and UPower played by python3-dbusmock.
class CMockedSystemBus {
  public:
    /// inUPower: the upower template's parameters (JSON).
    explicit CMockedSystemBus(const std::string& inUPower) {
        mDaemon = std::make_unique<CChildProcess>(std::vector<std::string>{"/usr/bin/dbus-daemon",
                                                                           "--session", "--nofork",
                                                                           "--print-address=1"},
                                                  std::vector<std::string>{}, true);
        if (!mDaemon->expect("\n", std::chrono::seconds(10))) {
            return;
        }
        const std::string printed = mDaemon->output();
        mAddress = printed.substr(0, printed.find('\n'));
        for (const auto& [name, mock] :
             {std::pair<std::string, std::vector<std::string>>{
                  "org.freedesktop.login1",
                  {kPython, "-m", "dbusmock", "--system", "--template", "logind"}},
              {"org.freedesktop.UPower",
               {kPython, "-m", "dbusmock", "--system", "--template", "upower", "--parameters",
                inUPower}}}) {
            mMocks.push_back(std::make_unique<CChildProcess>(mock, environment()));
            const std::string owner = name;
            if (!eventually(
                    [&] {
                        return call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus.NameHasOwner", "string:" + owner)
                                   .find("boolean true") != std::string::npos;
                    },
                    std::chrono::seconds(20))) {
                mAddress.clear();
                return;
            }
        }
    }
    bool up() const { return !mAddress.empty(); }
    std::vector<std::string> environment() const { return {"DBUS_SYSTEM_BUS_ADDRESS=" + mAddress}; }
    /// dbus-send's lines for a call on the bus.
    std::string call(const std::string& inDestination, const std::string& inPath,
                     const std::string& inMethod, const std::string& inArguments = "") const {
        return commandOutput("DBUS_SYSTEM_BUS_ADDRESS='" + mAddress +
                             "' dbus-send --system --print-reply --dest=" + inDestination + " " +
                             inPath + " " + inMethod + " " + inArguments + " 2>&1");
    }
    /// The locks logind holds, as "what who mode" lines.
    std::string inhibitors() const {
        const std::string reply = call("org.freedesktop.login1", "/org/freedesktop/login1",
                                       "org.freedesktop.login1.Manager.ListInhibitors");
        std::vector<std::string> texts; // what, who, why, mode of each lock
        const std::regex text(R"re(string "([^"]*)")re");
        for (auto m = std::sregex_iterator(reply.begin(), reply.end(), text);
             m != std::sregex_iterator(); ++m) {
            texts.push_back((*m)[1]);
        }
        std::string locks;
        for (std::size_t i = 0; i + 3 < texts.size(); i += 4) {
            locks += texts[i] + " " + texts[i + 1] + " " + texts[i + 3] + "\n";
        }
        return locks;
    }

  private:
    std::unique_ptr<CChildProcess> mDaemon;
    std::vector<std::unique_ptr<CChildProcess>> mMocks;
    std::string mAddress;
};

class ComputerPower : public testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists("/usr/bin/dbus-daemon") ||
            commandOutput(std::string(kPython) + " -c 'import dbusmock' 2>&1") != "") {
            GTEST_SKIP() << "needs dbus-daemon and python3-dbusmock";
        }
        mImage = mDirectory.write("short.bin", shortFirmwareImage());
    }
    /// inJson: output() is the JSON alone, errors() the lines for people.
    std::unique_ptr<CChildProcess> update(const std::vector<std::string>& inEnvironment,
                                          std::vector<std::string> inArguments = {},
                                          bool inJson = true) {
        std::filesystem::remove(mDirectory.file("status.plist"));
        inArguments.insert(inArguments.begin(),
                           {VYR_UPDATE, "--simulate", "--yes", "--prefs",
                            mDirectory.file("status.plist"), "--firmware", mImage});
        if (inJson) {
            inArguments.push_back("--json");
        }
        std::vector<std::string> environment = inEnvironment;
        environment.push_back("LC_ALL=C");
        return std::make_unique<CChildProcess>(inArguments, environment, inJson);
    }

    CTestDirectory mDirectory;
    std::string mImage;
};

const std::string kLock = "sleep:shutdown:idle:handle-lid-switch vyr-update block\n";

// Held from before the first byte to the transfer's end, whatever ends it: the last
// message, a refused send, a second stop request, SIGKILL.
TEST_F(ComputerPower, TheComputerIsKeptAwakeForTheTransferAlone) {
    const CMockedSystemBus bus(R"({"OnBattery": false})");
    ASSERT_TRUE(bus.up()) << "the private bus or its mocks did not start";
    const struct {
        const char* ending;
        std::vector<std::string> arguments;
        std::vector<int> signals;
        int exit;
    } cases[] = {
        {"complete", {}, {}, 0},
        {"a refused send", {"--sim-fail-at", "45"}, {}, 1},
        {"stopped", {}, {SIGTERM, SIGTERM}, 130},
        {"killed", {}, {SIGKILL}, 128 + SIGKILL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ending);
        auto run = update(bus.environment(), c.arguments, false);
        ASSERT_TRUE(run->expect("Now updating...")) << run->output();
        EXPECT_EQ(bus.inhibitors(), kLock);
        for (const int signal : c.signals) {
            run->kill(signal);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        EXPECT_EQ(run->wait(), c.exit) << run->output();
        // The mock lets a lock go once it sees its descriptor closed.
        EXPECT_TRUE(eventually([&] { return bus.inhibitors().empty(); }, std::chrono::seconds(10)))
            << bus.inhibitors();
    }
}

// Unattended on a battery below 25 % nothing is sent and the result says why; on mains, or
// told to ignore the battery, the update completes. Without a system bus it completes too,
// with one line that says the computer could not be kept awake.
TEST_F(ComputerPower, ALowBatteryStopsAnUnattendedRunBeforeAnythingIsSent) {
    const CMockedSystemBus bus(R"({"OnBattery": true})");
    ASSERT_TRUE(bus.up()) << "the private bus or its mocks did not start";
    // A battery at 10 %, discharging, as the desktop shows it.
    bus.call("org.freedesktop.UPower", "/org/freedesktop/UPower",
             "org.freedesktop.DBus.Mock.SetupDisplayDevice",
             "uint32:2 uint32:2 double:10 double:5 double:50 double:10 int64:600 int64:0 "
             "boolean:true string:battery uint32:1");
    const std::vector<std::string> noBus = {"DBUS_SYSTEM_BUS_ADDRESS=unix:path=" +
                                            mDirectory.file("no-bus")};
    const struct {
        const char* power;
        std::vector<std::string> environment;
        std::vector<std::string> arguments;
        int exit;
        std::optional<bool> keptAwake;
    } cases[] = {
        {"battery at 10 %", bus.environment(), {}, 4, std::nullopt},
        {"battery ignored", bus.environment(), {"--ignore-power"}, 0, true},
        {"no system bus", noBus, {}, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.power);
        auto run = update(c.environment, c.arguments);
        EXPECT_EQ(run->wait(), c.exit) << run->errors();
        const json result = json::parse(run->output());
        EXPECT_EQ(result["kept_awake"].is_null(), !c.keptAwake.has_value()) << run->output();
        if (c.keptAwake) {
            EXPECT_EQ(result["kept_awake"], *c.keptAwake);
        }
        const std::string why = result["message"];
        if (c.exit == 4) {
            EXPECT_EQ(result["messages_sent"], 0);
            EXPECT_EQ(why.find("gave up: The computer runs on battery, at 10 %."), 0u) << why;
            EXPECT_EQ(run->errors().find("Please change VYR"), std::string::npos)
                << "asked before the update-mode prompt";
        }
        const std::string notice = "The computer cannot be kept awake during the transfer";
        const std::string errors = run->errors();
        const std::size_t first = errors.find(notice);
        EXPECT_EQ(first != std::string::npos, c.keptAwake == false) << errors;
        EXPECT_EQ(errors.find(notice, first + 1), std::string::npos) << "said once";
    }
    // On mains the 10 % do not matter.
    const CMockedSystemBus mains(R"({"OnBattery": false})");
    ASSERT_TRUE(mains.up());
    EXPECT_EQ(update(mains.environment())->wait(), 0);
}

} // namespace
