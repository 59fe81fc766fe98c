#include "Shell/Launch/PreferenceFile.h"
#include "TestDirectory.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class PreferenceFile : public testing::Test {
  protected:
    std::string path() const { return mDirectory.file("org.vyr.test.plist"); }
    void write(const std::string& inText) const { std::ofstream(path()) << inText; }

    CTestDirectory mDirectory;
    const fs::path& mDir = mDirectory.path();
};

// What another writer wrote is read, XML or binary; a dictionary without an integer
// "Status" reads as 0; anything else is no status file and is set aside, never overwritten.
TEST_F(PreferenceFile, ContentsAndTheStatusTheyHold) {
    const std::string plist = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    // {Status: 1, Other: "kept"}, as another program writes it in binary form.
    const std::string binary(
        "bplist00\xD2\x01\x02\x03\x04UOtherVStatusTkept\x10\x01\x08\x0D\x13\x1A\x1F\0\0\0\0\0\0"
        "\x01\x01\0\0\0\0\0\0\0\x05\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x21",
        70);
    const struct {
        std::string text;
        std::int32_t status;
        bool setAside;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
         "\t<key>Status</key>\n\t<integer>1</integer>\n</dict>\n</plist>\n",
         1, false},
        {binary, 1, false},
        {plist + "<dict><key>Other</key><integer>2</integer></dict></plist>", 0, false},
        {plist + "<dict><key>Status</key><string>2</string></dict></plist>", 0, false},
        {"", 0, true},
        {"not a property list", 0, true},
        {plist + "<array><integer>2</integer></array></plist>", 0, true},
        {plist + "<dict><key>Status</key><integer>2", 0, true},
        {std::string(CPreferenceFile::kMaxBytes + 1, ' '), 0, true},
    };
    std::size_t kept = 0; // files set aside so far: each under a name of its own
    for (const auto& c : cases) {
        write(c.text);
        CPreferenceFile file(path());
        std::int32_t status = 99;
        EXPECT_TRUE(file.load(status)) << c.text.substr(0, 40);
        EXPECT_EQ(status, c.status) << c.text.substr(0, 40);
        std::string aside = path() + ".bad";
        if (kept > 0) {
            aside += '.';
            aside += std::to_string(kept);
        }
        EXPECT_EQ(fs::exists(aside), c.setAside) << c.text.substr(0, 40);
        EXPECT_EQ(file.problem().empty(), !c.setAside) << file.problem();
        if (c.setAside) {
            EXPECT_EQ(fs::file_size(aside), c.text.size()) << "kept whole";
            EXPECT_NE(file.problem().find(aside), std::string::npos) << file.problem();
            ++kept;
        }
    }
    EXPECT_EQ(fs::file_size(path() + ".bad"), 0u) << "the first one kept, not overwritten";
}

TEST_F(PreferenceFile, SavingKeepsOtherKeysAndWritesThroughALinkButNotALoop) {
    write("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Other</key><string>kept"
          "</string><key>Status</key><integer>1</integer></dict></plist>");
    fs::create_symlink(path(), mDir / "link.plist");
    CPreferenceFile file((mDir / "link.plist").string());
    std::int32_t status = 0;
    ASSERT_TRUE(file.load(status));
    ASSERT_TRUE(file.save(2));
    EXPECT_TRUE(fs::is_symlink(mDir / "link.plist"));
    const std::string text = CTestDirectory::read(path());
    EXPECT_NE(text.find("<string>kept</string>"), std::string::npos) << text;
    EXPECT_NE(text.find("<integer>2</integer>"), std::string::npos) << text;

    // A link to a file not made yet: nothing stored, and the file is made through the link.
    fs::create_symlink(mDir / "later.plist", mDir / "ahead.plist");
    CPreferenceFile ahead((mDir / "ahead.plist").string());
    EXPECT_FALSE(ahead.load(status)) << ahead.problem();
    ASSERT_TRUE(ahead.save(1));
    EXPECT_TRUE(fs::is_symlink(mDir / "ahead.plist"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(mDir / "later.plist")));

    fs::create_symlink(mDir / "loop-b", mDir / "loop-a");
    fs::create_symlink(mDir / "loop-a", mDir / "loop-b");
    CPreferenceFile loop((mDir / "loop-a").string());
    EXPECT_FALSE(loop.save(2));
    EXPECT_EQ(loop.problem(), loop.path() + ": cannot reach it: Too many levels of symbolic links");
    EXPECT_TRUE(fs::is_symlink(mDir / "loop-a"));
}

// A status that cannot be written whole (a full disk; here a file size limit, which binds
// root too) fails, leaves the old file as it was and no temporary beside it.
TEST_F(PreferenceFile, FailedWriteKeepsTheOldFile) {
    ASSERT_TRUE(CPreferenceFile(path()).save(1));
    const std::string before = CTestDirectory::read(path());
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{16, limit.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    CPreferenceFile file(path());
    const bool saved = file.save(2);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(file.problem(), path() + ": cannot write: File too large");
    EXPECT_EQ(CTestDirectory::read(path()), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(mDir), fs::directory_iterator()), 1);
}

} // namespace
