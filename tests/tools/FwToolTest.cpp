// vyr-fwtool as a user runs it: the program, its output streams and exit status.
#include "SmfTestUtil.h"
#include "TestDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>

namespace {

namespace fs = std::filesystem;
using smftest::Bytes;
using smftest::operator+;

struct SRun {
    int status;
    std::string out;
    std::string err;
};

class FwTool : public testing::Test {
  protected:
    std::string file(const std::string& name, const Bytes& bytes) {
        return mDirectory.write(name, bytes);
    }

    /// inPipe: a command whose output is piped into the tool's standard input; inStdout: where
    /// its standard output goes instead of a file (">/dev/full").
    SRun run(const std::string& args, const std::string& inPipe = {},
             const std::string& inStdout = {}) {
        const fs::path out = mDir / "stdout";
        const fs::path err = mDir / "stderr";
        fs::remove(out);
        std::string redirect = inStdout;
        if (redirect.empty()) {
            redirect = ">";
            redirect += out.string();
        }
        const std::string command = (inPipe.empty() ? "" : inPipe + " | ") +
                                    std::string(VYR_FWTOOL) + " " + args + " " + redirect + " 2>" +
                                    err.string();
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, CTestDirectory::read(out),
                CTestDirectory::read(err)};
    }

    CTestDirectory mDirectory;
    const fs::path& mDir = mDirectory.path();
};

const Bytes kTrack0 = {0x00, 0xFF, 0x03, 0x02, 'F', 'W', 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
// A SysEx message split over two events, a note between its parts.
const Bytes kTrack1 = {0x00, 0xF0, 0x02, 0x43, 0x10, 0x60, 0x90, 0x3C, 0x64, 0x00, 0x3C,
                       0x00, 0x81, 0x00, 0xF7, 0x02, 0x01, 0xF7, 0x00, 0xFF, 0x2F, 0x00};

TEST_F(FwTool, DumpPrintsEveryEventInTheStableFormat) {
    const std::string path = file("a.mid", smftest::smfFile(1, 480, {kTrack0, kTrack1}));
    const SRun r = run("dump " + path);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "header format=1 tracks=2 division=480\n"
                     "0 0 meta 03 46 57\n"
                     "0 0 meta 51 07 A1 20\n"
                     "1 0 sysex F0 43 10\n"
                     "1 96 short 90 3C 64\n"
                     "1 96 short 90 3C 00\n"
                     "1 224 sysex 01 F7\n");
}

// Whatever a command cannot use is refused with one line on stderr, nothing on stdout, exit
// status 1 and no OUT written; so is output that cannot reach its destination.
TEST_F(FwTool, RefusalsAreOneLineAndWriteNothing) {
    const std::string good = file("good.mid", smftest::smfFile(1, 480, {kTrack0, kTrack1}));
    const std::string bad =
        file("bad.mid", smftest::smfFile(0, 96, {{0x00, 0xFF, 0x01, 0x09, 'x'}}));
    const std::string cut = file("short.mid", {0x4D, 0x54, 0x68, 0x64});
    const std::string tempo =
        file("t.mid", smftest::smfFile(0, 96, {{0x00, 0xFF, 0x51, 0x03, 0, 0, 0}}));
    const std::string out = (mDir / "out.mid").string();
    const struct {
        std::string arguments;
        std::string reason;
        std::string stdoutTo = {};
    } cases[] = {
        {"dump " + bad, bad + ": refused at byte 25 (track 0): meta or SysEx length runs past "
                              "the end of the track\n"},
        {"info " + cut, "too short"},
        {"dump " + cut, "too short"},
        {"rewrite " + cut + " " + out, "too short"},
        {"info " + (mDir / "none.mid").string(), "cannot open"},
        {"info '" + (mDir / "\x1B[31mred\nfake: ok").string() + "'",
         "/\\x1B[31mred\\x0Afake: ok: cannot open"},
        {"info " + mDir.string(), "is a directory"},
        {"schedule " + tempo,
         tempo + ": refused: Set Tempo event at tick 0 of track 0 has the value 0\n"},
        {"dump " + good, "vyr-fwtool: standard output: ", ">/dev/full"},
        {"info " + good, "vyr-fwtool: standard output: ", ">&-"},
    };
    for (const auto& [arguments, reason, stdoutTo] : cases) {
        const SRun r = run(arguments, {}, stdoutTo);
        EXPECT_EQ(r.status, 1) << arguments;
        EXPECT_EQ(r.out, "") << arguments;
        EXPECT_TRUE(r.err.starts_with("vyr-fwtool: ")) << r.err;
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_FALSE(fs::exists(out));
}

// OUT is replaced whole or not at all: never a device or FIFO, a link stays a link, and an
// existing file keeps its mode.
TEST_F(FwTool, RewriteReplacesOnlyRegularFiles) {
    const std::string in = file("in.mid", smftest::smfFile(1, 480, {kTrack0, kTrack1}));
    ASSERT_EQ(mkfifo((mDir / "fifo").c_str(), 0600), 0);
    // A device node of the test's own where it may make one (root): a fault that replaced it
    // must not take the machine's /dev/null. Anyone else cannot replace /dev/null anyway.
    const fs::path node = mDir / "null";
    const std::string device =
        mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? node.string() : "/dev/null";
    for (const std::string& out : {device, (mDir / "fifo").string(), mDir.string()}) {
        const SRun r = run("rewrite " + in + " " + out);
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_NE(r.err.find("not replacing it"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(fs::is_character_file(device));
    EXPECT_TRUE(fs::is_fifo(mDir / "fifo"));
    const SRun unnamed = run("rewrite " + in + " ''");
    EXPECT_EQ(unnamed.status, 2);
    EXPECT_NE(unnamed.err.find("an empty file name names no file"), std::string::npos)
        << unnamed.err;

    const std::string target = file("target.mid", {});
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(target, mDir / "link.mid");
    ASSERT_EQ(run("rewrite " + in + " " + (mDir / "link.mid").string()).status, 0);
    EXPECT_TRUE(fs::is_symlink(mDir / "link.mid"));
    ASSERT_EQ(run("rewrite " + in + " " + (mDir / "plain.mid").string()).status, 0);
    EXPECT_EQ(CTestDirectory::read(target), CTestDirectory::read(mDir / "plain.mid"));
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Pipes and standard input are read to their end; texts from the file never reach the
// terminal as control bytes.
TEST_F(FwTool, ReadsPipesAndShowsTextsSafely) {
    // ESC, then a C1 CSI as one byte and as UTF-8, a right-to-left override, UTF-8 text kept.
    const Bytes track0 = {0x00, 0xFF, 0x03, 0x0E, 'F',  0x1B, '[',  '2',  'J',
                          0x9B, 0xC2, 0x9B, 0xE2, 0x80, 0xAE, 0xC3, 0xA9, '\\',
                          0x00, 0xF0, 0x01, 0xF7, 0x00, 0xFF, 0x2F, 0x00};
    const std::string path = file("a.mid", smftest::smfFile(0, 480, {track0}));
    for (const auto& [source, pipe] : {std::pair<std::string, std::string>{"- <" + path, ""},
                                       {"/dev/stdin", "cat " + path},
                                       {"-", "cat " + path}}) {
        const SRun r = run("info " + source, pipe);
        ASSERT_EQ(r.status, 0) << source << ": " << r.err;
        EXPECT_NE(r.out.find("name        F\\x1B[2J\\x9B\\u{009B}\\u{202E}\xC3\xA9\\x5C\n"),
                  std::string::npos)
            << r.out;
    }
    // A named FIFO whose writer comes later is waited for, not taken as empty.
    const std::string fifo = (mDir / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // Bounded: a reader that is gone already leaves the writer waiting to open.
        EXPECT_EQ(std::system(("timeout 10 sh -c 'cat " + path + " >" + fifo + "'").c_str()), 0);
    });
    const SRun late = run("info " + fifo);
    writer.join();
    EXPECT_EQ(late.status, 0) << late.err;
    EXPECT_NE(late.out.find("name        F"), std::string::npos) << late.out;
    const SRun empty = run("info -", "true");
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("too short"), std::string::npos) << empty.err;
}

TEST_F(FwTool, InfoCountsEventsPerTrack) {
    const std::string path = file("a.mid", smftest::smfFile(1, 480, {kTrack0, kTrack1}));
    const SRun r = run("info " + path);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "file        " + path +
                         "\nformat      1\ntracks      2\n"
                         "division    480 ticks per quarter note\nname        FW\n\n"
                         "track    events   channel      meta     sysex  sysex bytes\n"
                         "    0         2         0         2         0            0\n"
                         "    1         4         2         0         2            5\n"
                         "  all         6         2         2         2            5\n\n"
                         "firmware    playable: 2 messages, 5 bytes, 233 ms\n");
    // What the updater refuses, info refuses too, after showing what it read.
    const std::string unclosed =
        file("u.mid", smftest::smfFile(0, 96, {{0x00, 0xF0, 0x01, 0x43, 0x00, 0xFF, 0x2F, 0x00}}));
    const SRun refused = run("info " + unclosed);
    EXPECT_EQ(refused.status, 1);
    const std::string why = "refused: SysEx message 0 (track 0, tick 0): the message it begins is "
                            "never closed with F7\n";
    EXPECT_TRUE(refused.out.ends_with("firmware    " + why)) << refused.out;
    EXPECT_EQ(refused.err, "vyr-fwtool: " + unclosed + ": " + why);
    // Bytes after the last track are not read, and said.
    const std::string trailing =
        file("t.mid", smftest::smfFile(1, 480, {kTrack0, kTrack1}) + Bytes{'j', 'u', 'n', 'k'});
    const SRun noted = run("info " + trailing);
    EXPECT_EQ(noted.status, 0);
    EXPECT_NE(noted.err.find("4 bytes after the last track are not read"), std::string::npos)
        << noted.err;
}

TEST_F(FwTool, SchedulePrintsWhenEachMessageIsSent) {
    // Tempo 120 at 0 and 85 bpm at tick 1920, division 480; SysEx at 0, 480, 1000, 1920,
    // 2400, 2880 in track 0 and one at 0 in track 1, sent after track 0's.
    const Bytes sysEx = {0xF0, 0x02, 0x7E, 0xF7};
    const auto at = [&](Bytes delta) { return delta + sysEx; };
    const Bytes track0 = Bytes{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20} + at({0x00}) +
                         at({0x83, 0x60}) + at({0x84, 0x08}) + at({0x87, 0x18}) +
                         Bytes{0x00, 0xFF, 0x51, 0x03, 0x0A, 0xAE, 0x60} + at({0x83, 0x60}) +
                         at({0x83, 0x60});
    const std::string path =
        file("s.mid", smftest::smfFile(1, 480, {track0, Bytes{0x00, 0xF0, 0x01, 0xF7}}));
    const SRun r = run("schedule " + path);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "# messages 7\n# bytes 20\n# duration_ms 3412\n"
                     "0 0 3\n1 500 3\n2 1042 3\n3 2000 3\n4 2706 3\n5 3412 3\n6 0 2\n");
}

// The generator takes no option for a file name: "--help" helps, "--x" is refused.
TEST_F(FwTool, SampleGeneratorKnowsHelpFromAFileName) {
    const std::string generator = std::string("cd ") + mDir.string() + " && " + VYR_MAKE_SAMPLE;
    EXPECT_EQ(std::system((generator + " --help >/dev/null").c_str()), 0);
    EXPECT_NE(std::system((generator + " --x 2>/dev/null").c_str()), 0);
    EXPECT_TRUE(fs::is_empty(mDir)) << "no file named after an option";
    EXPECT_EQ(std::system((generator + " image.bin").c_str()), 0);
    EXPECT_EQ(run("info " + (mDir / "image.bin").string()).status, 0);
    // The longest burst message is the longest the reader takes; one byte more is refused.
    EXPECT_EQ(std::system((generator + " --burst 2 65536 burst.bin").c_str()), 0);
    EXPECT_EQ(run("info " + (mDir / "burst.bin").string()).status, 0);
    EXPECT_NE(std::system((generator + " --burst 2 65537 long.bin 2>/dev/null").c_str()), 0);
    EXPECT_FALSE(fs::exists(mDir / "long.bin"));
}

} // namespace
