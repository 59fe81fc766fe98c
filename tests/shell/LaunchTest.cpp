// The launch path every front-end shares: the command line, where the status is kept,
// which image is played.
#include "Shell/Launch/Launch.h"
#include "FirmwareImage.h"
#include "Shell/Launch/StopRule.h"
#include "SmfTestUtil.h"
#include "TestDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
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
    const std::vector<SOption> own = {
        {"flag", 'f', nullptr, "a flag",
         [&](const char*) {
             result.flag = true;
             return std::string();
         }},
        {"count", 0, "N",
         "a count, said in so many words that one line of the help's column could\nnever hold "
         "them all; and a long word: Aktualisierungsmöglichkeitenübersichtsfensterleiste",
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
    EXPECT_EQ(r.options.simulation.device.refuseSendsFrom, 3u);
    EXPECT_EQ(r.options.simulation.device.behaviour.vanishAfterMessage, 4u);
    EXPECT_EQ(r.options.simulation.device.serviceFaultAt, 5u);
    EXPECT_TRUE(r.options.simulation.device.behaviour.staysInNormalMode);
    EXPECT_FALSE(r.options.simulation.absent);

    for (const auto& [arguments, system] :
         std::vector<std::pair<std::vector<std::string>, EMIDISystem>>{
             {{}, EMIDISystem::kAlsa},
             {{"--midi=alsa", "--device", "20:0"}, EMIDISystem::kAlsa},
             {{"--midi", "virtual"}, EMIDISystem::kVirtual},
             {{"--simulate", "--midi=virtual"}, EMIDISystem::kVirtual}}) {
        const SParse each = parse(arguments);
        ASSERT_EQ(each.exit, std::nullopt) << each.err;
        EXPECT_EQ(each.options.midiSystem(), system);
    }
    EXPECT_EQ(parse({"--device", "VYR10 MIDI 1"}).options.device, "VYR10 MIDI 1");
    EXPECT_TRUE(parse({"--flag"}).flag);

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
        {{"--prefs", "--simulate"}, "--prefs: a file name is needed, not the option --simulate"},
        {{"--firmware="}, "--firmware: a file name is needed"},
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
        {{"--simulate", "--midi=alsa"},
         "the simulated device is on the virtual MIDI system, not --midi=alsa"},
        {{"--midi", "coremidi"}, "--midi: alsa or virtual, not \"coremidi\""},
        {{"--device="}, "--device: a name or address is needed"},
        // What is no status file is refused before anything touches it.
        {{"--prefs", "/"},
         "--prefs /: is a directory; name a status file (a property list) or a "
         "file that does not exist yet"},
        {{"--prefs=/dev/null"},
         "--prefs /dev/null: is not a regular file (a device, FIFO or "
         "socket); name a status file (a property list) or a file that "
         "does not exist yet"},
        {{"--prefs", VYR_SCENARIOS},
         "--prefs " VYR_SCENARIOS ": is no property-list dictionary; "
         "name a status file (a property list) or a file that does "
         "not exist yet"},
        {{"--prefs", "/nonexistent-vyr-folder/status.plist"},
         "--prefs /nonexistent-vyr-folder/status.plist: its folder does not exist; name a status "
         "file (a property list) or a file that does not exist yet"},
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
         {"  -f, --flag                a flag\n",
          "      --count N             a count, said in so many words that one line of the\n"
          "                            help's column could never hold them all; and a long\n"
          "                            word:\n"
          "                            Aktualisierungsmöglichkeitenübersichtsfensterleiste\n",
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

// Every image that must not reach the device is refused before anything happens, with one
// line naming the file and what is wrong.
TEST_F(Launch, BadImagesAreRefusedBeforeAnythingHappens) {
    SFirmwareImage good;
    good.messages = {{0, makeFirmwareMessage(0, 64, 1)}};
    const Bytes image = buildFirmwareImage(good);
    SFirmwareImage silent = good;
    silent.messages.clear();
    const std::string fifo = mDirectory.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // SysEx events of one track, then its end.
    const auto sysEx = [](Bytes inEvents) {
        for (const std::uint8_t byte : {0x00, 0xFF, 0x2F, 0x00}) {
            inEvents.push_back(byte);
        }
        return smftest::smfFile(0, 96, {inEvents});
    };
    const std::string huge = mDirectory.file("huge");
    std::ofstream{huge}.put('M');
    std::filesystem::resize_file(huge, CLaunch::kMaxImageBytes + 1); // sparse: no 64 MiB written
    const struct {
        const char* name;
        std::optional<Bytes> contents; // none: inPath as it is
        std::string path;
        const char* reason;
    } cases[] = {
        {"missing", std::nullopt, mDirectory.file("typo.bin"), "cannot open: No such file"},
        // A name a terminal would act on (a title, a forged line) is shown escaped.
        {"named to fool a terminal", std::nullopt, mDirectory.file("\x1B]0;t\x07\nfake: ok"),
         "\\x1B]0;t\\x07\\x0Afake: ok: cannot open"},
        {"directory", std::nullopt, mDirectory.path().string(), "is a directory"},
        {"FIFO without a writer", std::nullopt, fifo, "is not a regular file"},
        {"device", std::nullopt, "/dev/zero", "is not a regular file"},
        {"too large", std::nullopt, huge, "larger than 67108864 bytes"},
        {"empty", Bytes{}, "", "too short for a MIDI file header"},
        {"truncated", Bytes(image.begin(), image.end() - 5), "", "refused at byte"},
        {"not MIDI", Bytes(300, 0x5A), "", "not a Standard MIDI File"},
        {"tempo 0",
         smftest::smfFile(
             0, 96,
             {{0x00, 0xFF, 0x51, 0x03, 0, 0, 0, 0x00, 0xF0, 0x01, 0xF7, 0x00, 0xFF, 0x2F, 0x00}}),
         "", "Set Tempo event at tick 0"},
        {"tempo of two bytes",
         smftest::smfFile(0, 96,
                          {{0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1, 0x00, 0xF0, 0x01, 0xF7, 0x00, 0xFF,
                            0x2F, 0x00}}),
         "", "has fewer than 3 data bytes"},
        {"no SysEx", buildFirmwareImage(silent), "", "holds no SysEx message"},
        // Sent unchanged, these would reach the device as merged or broken messages.
        {"no closing F7", sysEx({0x00, 0xF0, 0x02, 0x01, 0x02}), "",
         "SysEx message 0 (track 0, tick 0): the message it begins is never closed with F7"},
        {"empty F0 event", sysEx({0x00, 0xF0, 0x00, 0x60, 0xF0, 0x02, 0x01, 0xF7}), "",
         "message 1 (track 0, tick 96), its byte 0 (0xF0): a message begins before"},
        {"empty F7 event", sysEx({0x00, 0xF0, 0x02, 0x01, 0xF7, 0x00, 0xF7, 0x00}), "",
         "message 1 (track 0, tick 0): an empty SysEx event"},
        {"channel status inside", sysEx({0x00, 0xF0, 0x03, 0x01, 0x90, 0xF7}), "",
         "its byte 2 (0x90): a status byte inside a message"},
        {"meta status inside", sysEx({0x00, 0xF0, 0x03, 0x01, 0xFF, 0xF7}), "",
         "its byte 2 (0xFF): a status byte inside"},
        {"F0 inside", sysEx({0x00, 0xF0, 0x03, 0x01, 0xF0, 0xF7}), "",
         "its byte 2 (0xF0): a message begins before"},
        {"bytes after F7", sysEx({0x00, 0xF0, 0x03, 0x01, 0xF7, 0x02}), "",
         "its byte 3 (0x02): bytes after the F7"},
        {"F7 form outside a message", sysEx({0x00, 0xF7, 0x02, 0x01, 0xF7}), "",
         "its byte 0 (0x01): a byte outside any message"},
    };
    for (const auto& c : cases) {
        std::string path = c.path;
        if (c.contents) {
            path = mDirectory.write("image.bin", *c.contents);
        }
        CLaunch launch("t", with(false, mDirectory.file("status.plist"), path));
        std::string message;
        EXPECT_EQ(launch.prepare(message), ELaunchRefusal::kImageRefused) << c.name;
        // The file named first (its folder as it is), then what is wrong, all on one line.
        EXPECT_EQ(message.rfind(std::filesystem::path(path).parent_path().string() + "/", 0), 0u)
            << c.name << ": " << message;
        EXPECT_TRUE(std::none_of(message.begin(), message.end(),
                                 [](unsigned char inByte) { return inByte < 0x20; }))
            << c.name << ": " << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << c.name << ": " << message;
        EXPECT_FALSE(std::filesystem::exists(mDirectory.file("status.plist"))) << c.name;
    }

    // A message split over events, its rest in the F7 form, is whole.
    const Bytes split = sysEx({0x00, 0xF0, 0x02, 0x01, 0x02, 0x10, 0xF7, 0x02, 0x03, 0xF7});
    for (const Bytes& playable : {image, split}) {
        const std::string path = mDirectory.write("good.bin", playable);
        CLaunch launch("t", with(true, mDirectory.file("status.plist"), path));
        std::string message;
        EXPECT_EQ(launch.prepare(message), ELaunchRefusal::kNone) << message;
        EXPECT_EQ(launch.firmwareImage(), playable);
    }
}

TEST_F(Launch, SecondUpdaterOnTheSameStatusFileIsRefused) {
    const std::string path =
        mDirectory.write("image.bin", buildFirmwareImage(sampleFirmwareImage()));
    // The default place, in a config folder that does not exist yet, nor its parent.
    setenv("XDG_CONFIG_HOME", mDirectory.file("config/vyr").c_str(), 1);
    std::optional<CLaunch> first(std::in_place, "t", with(true, "", path));
    std::string message;
    ASSERT_EQ(first->prepare(message), ELaunchRefusal::kNone) << message;
    const std::string lock = first->preferencePath() + ".lock";
    for (const char* folder : {"config", "config/vyr"}) {
        EXPECT_EQ(std::filesystem::status(mDirectory.file(folder)).permissions(),
                  std::filesystem::perms::owner_all)
            << folder;
    }
    CLaunch second("t", with(true, "", path));
    EXPECT_EQ(second.prepare(message), ELaunchRefusal::kAlreadyRunning);
    EXPECT_NE(message.find("another update is running"), std::string::npos) << message;
    // Another name of the same file shares its lock.
    std::filesystem::create_symlink(first->preferencePath(), mDirectory.file("alias.plist"));
    CLaunch aliased("t", with(true, mDirectory.file("alias.plist"), path));
    EXPECT_EQ(aliased.prepare(message), ELaunchRefusal::kAlreadyRunning);
    CLaunch elsewhere("t", with(true, mDirectory.file("other.plist"), path));
    EXPECT_EQ(elsewhere.prepare(message), ELaunchRefusal::kNone) << "another status file";
    // A hard link is the same file under a name of its own: it shares the lock too.
    mDirectory.write("held.plist", Bytes{});
    CLaunch holder("t", with(true, mDirectory.file("held.plist"), path));
    ASSERT_EQ(holder.prepare(message), ELaunchRefusal::kNone) << message;
    std::filesystem::create_hard_link(mDirectory.file("held.plist"), mDirectory.file("link.plist"));
    CLaunch linked("t", with(true, mDirectory.file("link.plist"), path));
    EXPECT_EQ(linked.prepare(message), ELaunchRefusal::kAlreadyRunning);

    // The lock leaves nothing behind, and the next updater takes a new one.
    EXPECT_TRUE(std::filesystem::exists(lock));
    first.reset();
    EXPECT_FALSE(std::filesystem::exists(lock));
    CLaunch next("t", with(true, "", path));
    EXPECT_EQ(next.prepare(message), ELaunchRefusal::kNone) << message;
}

// Without its lock no run begins, and whatever stands in the lock's place stays as it was:
// nothing followed, used or removed.
TEST_F(Launch, ALockThatCannotBeTakenRefusesTheRun) {
    const std::string path =
        mDirectory.write("image.bin", buildFirmwareImage(sampleFirmwareImage()));
    const std::string lock = mDirectory.file("status.plist.lock");
    const std::string target = mDirectory.file("elsewhere");
    const struct {
        const char* name;
        std::function<void()> place;
        const char* why;
    } cases[] = {
        {"a directory", [&] { std::filesystem::create_directory(lock); }, "directory"},
        {"a FIFO", [&] { ::mkfifo(lock.c_str(), 0600); }, "no regular file"},
        {"a dangling link", [&] { std::filesystem::create_symlink(target, lock); },
         "symbolic link"},
        {"a link to a file",
         [&] {
             mDirectory.write("elsewhere", Bytes{});
             std::filesystem::create_symlink(target, lock);
         },
         "symbolic link"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(lock);
        std::filesystem::remove(target);
        c.place();
        const auto before = std::filesystem::symlink_status(lock).type();
        {
            CLaunch launch("t", with(true, mDirectory.file("status.plist"), path));
            std::string message;
            EXPECT_EQ(launch.prepare(message), ELaunchRefusal::kLockUnavailable) << c.name;
            EXPECT_NE(message.find(c.why), std::string::npos) << c.name << ": " << message;
            EXPECT_NE(message.find("--prefs"), std::string::npos) << c.name << ": " << message;
        }
        EXPECT_EQ(std::filesystem::symlink_status(lock).type(), before) << c.name;
        EXPECT_EQ(std::filesystem::exists(target), std::string(c.name) == "a link to a file")
            << c.name;
    }
    // A lock file a killed updater left is taken, and goes at the end as any other.
    std::filesystem::remove_all(lock);
    mDirectory.write("status.plist.lock", Bytes{});
    {
        CLaunch launch("t", with(true, mDirectory.file("status.plist"), path));
        std::string message;
        EXPECT_EQ(launch.prepare(message), ELaunchRefusal::kNone) << message;
    }
    EXPECT_FALSE(std::filesystem::exists(lock));
}

// The rule every front-end keeps: before the transfer a stop backs out; during it a hang-up
// is nothing, the first stop warns and the second ends the program with 130, its status lock
// gone with it.
TEST(StopRuleDeathTest, BeforeTheTransferBacksOutDuringItWarnsThenEnds) {
    const CTestDirectory directory;
    const std::string lock = directory.file("status.plist.lock");
    EXPECT_EXIT(
        {
            CStopRule::install();
            CStopRule::presentOnStandardError("warned\n", "stopped\n");
            CStatusLock held;
            std::string why;
            if (held.take(directory.file("status.plist"), why) != CStatusLock::EResult::kTaken) {
                _exit(1);
            }
            CStopRule::holdLock(&held);
            raise(SIGTERM);
            if (!CStopRule::requested()) {
                _exit(2);
            }
            CStopRule::forget();
            const CStopRule::CTransfer transfer;
            raise(SIGHUP);
            if (CStopRule::warned()) {
                _exit(3);
            }
            raise(SIGTERM);
            if (!CStopRule::warned() || CStopRule::requested()) {
                _exit(4);
            }
            raise(SIGINT);
            _exit(5);
        },
        testing::ExitedWithCode(kExitInterrupted), "^warned.stopped.$");
    EXPECT_FALSE(std::filesystem::exists(lock));
}

} // namespace
