// The launch path every front-end shares: the command line, where the status is kept,
// which image is played.
#include "Shell/Launch.h"
#include "TestDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

const SProgram kProgram = {"vyr-test", "9.9", "About.\n", "Epilogue.\n"};

struct SParse {
    std::optional<int> exit;
    std::string out;
    std::string err;
    SLaunchOptions options;
    bool flag = false;
};

// One front-end option of each kind beside the shared ones: -f/--flag and --count 1..5.
SParse parse(std::vector<std::string> inArguments) {
    inArguments.insert(inArguments.begin(), "vyr-test");
    std::vector<char*> argv;
    for (std::string& argument : inArguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    SParse result;
    unsigned long count = 0;
    const std::vector<SFrontEndOption> own = {
        {"flag", 'f', nullptr, "a flag",
         [&](const char*) {
             result.flag = true;
             return std::string();
         }},
        {"count", 0, "N", "a count",
         [&](const char* inValue) { return parseNumber("--count", inValue, 1, 5, count); }},
    };
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    result.exit = parseLaunchOptions(static_cast<int>(inArguments.size()), argv.data(), kProgram,
                                     own, result.options);
    result.out = testing::internal::GetCapturedStdout();
    result.err = testing::internal::GetCapturedStderr();
    return result;
}

TEST(LaunchOptions, SharedAndOwnOptionsInEveryForm) {
    const SParse r = parse({"--simulate", "-f", "--firmware=a.mid", "--prefs", "p.plist",
                            "--sim-fail-at=3", "--sim-vanish-at", "4", "--sim-service-fault-at",
                            "5", "--sim-normal-mode", "--count", "5"});
    ASSERT_EQ(r.exit, std::nullopt) << r.err;
    EXPECT_TRUE(r.flag);
    EXPECT_TRUE(r.options.simulate);
    EXPECT_EQ(r.options.firmwarePath, "a.mid");
    EXPECT_EQ(r.options.prefsPath, "p.plist");
    EXPECT_EQ(r.options.simulation.failAt, 3u);
    EXPECT_EQ(r.options.simulation.vanishAt, 4u);
    EXPECT_EQ(r.options.simulation.serviceFaultAt, 5u);
    EXPECT_TRUE(r.options.simulation.staysInNormalMode);
    EXPECT_FALSE(r.options.simulation.absent);

    const SParse dashes = parse({"--simulate", "--", "--flag"});
    EXPECT_EQ(dashes.exit, 64) << "after --, --flag is an argument";
    EXPECT_EQ(dashes.err, "vyr-test: unexpected argument --flag\n(see vyr-test --help)\n");
}

TEST(LaunchOptions, UsageErrorsSayWhatIsWrong) {
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"--simulate", "--nope"}, "unknown option --nope"},
        {{"--simulate", "-z"}, "unknown option -z"},
        {{"--simulate", "--prefs"}, "missing value for --prefs"},
        {{"--simulate", "--count", "0"}, "--count needs a whole number from 1 to 5, not \"0\""},
        {{"--simulate", "--count=6"}, "--count needs a whole number from 1 to 5, not \"6\""},
        {{"--simulate", "--count", "-1"}, "--count needs a whole number from 1 to 5, not \"-1\""},
        {{"--simulate", "--count", "2x"}, "--count needs a whole number from 1 to 5, not \"2x\""},
        {{"--simulate", "--sim-fail-at", "0"},
         "--sim-fail-at needs a whole number from 1 to 1000000, not \"0\""},
        {{"--sim-fail-at", "2"}, "the --sim-* options need --simulate"},
        {{"--simulate", "--sim-absent", "--sim-normal-mode"},
         "--sim-absent cannot be combined with another --sim-* option: there is no device to "
         "misbehave"},
        {{},
         "this build can only update the simulated device: real devices need the ALSA MIDI "
         "backend, which is not built yet; use --simulate"},
    };
    for (const auto& c : cases) {
        const SParse r = parse(c.arguments);
        EXPECT_EQ(r.exit, kExitUsage) << c.message;
        EXPECT_EQ(r.err, std::string("vyr-test: ") + c.message + "\n(see vyr-test --help)\n");
        EXPECT_EQ(r.out, "");
    }
}

TEST(LaunchOptions, HelpListsEveryOptionAndVersionNamesTheProgram) {
    const SParse help = parse({"--simulate", "-h"});
    EXPECT_EQ(help.exit, 0);
    EXPECT_EQ(help.out.rfind("usage: vyr-test [OPTIONS]\n\nAbout.\n\noptions:\n", 0), 0u);
    for (const char* line :
         {"  -f, --flag                a flag\n", "      --count N             a count\n",
          "      --sim-service-fault-at K\n                            the MIDI",
          "      --version             show the version\n\nEpilogue.\n"}) {
        EXPECT_NE(help.out.find(line), std::string::npos) << line;
    }
    const SParse version = parse({"--version"});
    EXPECT_EQ(version.exit, 0);
    EXPECT_EQ(version.out, "vyr-test 9.9\n");
}

class Launch : public testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        mOldConfig = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        setenv("XDG_CONFIG_HOME", mDirectory.path().c_str(), 1);
    }
    void TearDown() override {
        if (mOldConfig) {
            setenv("XDG_CONFIG_HOME", mOldConfig->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }
    std::optional<std::string> mOldConfig;
    CTestDirectory mDirectory;
};

SLaunchOptions with(bool inSimulate, std::string inPrefs, std::string inFirmware = {}) {
    SLaunchOptions options;
    options.simulate = inSimulate;
    options.simulation.absent = true;
    options.prefsPath = std::move(inPrefs);
    options.firmwarePath = std::move(inFirmware);
    return options;
}

TEST_F(Launch, PreferenceFileForEachKindOfRun) {
    const std::string config = mDirectory.path().string();
    EXPECT_EQ(CLaunch("t", with(false, "")).preferencePath(),
              config + "/org.vyr.firmware-updater.plist");
    EXPECT_EQ(CLaunch("t", with(true, "")).preferencePath(),
              config + "/org.vyr.firmware-updater.simulate.plist")
        << "a simulation never touches the real status";
    EXPECT_EQ(CLaunch("t", with(true, "/x/y.plist")).preferencePath(), "/x/y.plist");
}

TEST_F(Launch, FirmwareOptionReplacesTheBundledImage) {
    const std::string path = mDirectory.file("image.mid");
    std::ofstream(path) << "MThd";
    EXPECT_EQ(CLaunch("t", with(false, "", path)).firmwareImage(),
              (std::vector<std::uint8_t>{'M', 'T', 'h', 'd'}));
    EXPECT_EQ(CLaunch("t", with(false, "", mDirectory.file("none"))).firmwareImage(), std::nullopt);
}

} // namespace
