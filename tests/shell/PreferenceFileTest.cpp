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

// {Status: 1, x: [[[...]]]} with inArrays arrays nested, XML.
std::string nestedXml(unsigned inArrays, const std::string& inInside = "") {
    std::string text = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Status</key>"
                       "<integer>1</integer><key>x</key>";
    for (unsigned i = 0; i < inArrays; ++i) {
        text += "<array>";
    }
    text += inInside;
    for (unsigned i = 0; i < inArrays; ++i) {
        text += "</array>";
    }
    return text + "</dict></plist>";
}

// The same in binary form, each array holding inFanOut references to the next one: the
// library makes a copy for each, so the list expands to inFanOut^inArrays objects.
std::string nestedBinary(unsigned inArrays, unsigned inFanOut = 1) {
    const auto be32 = [](std::uint64_t inValue) {
        return std::string{static_cast<char>(inValue >> 24), static_cast<char>(inValue >> 16),
                           static_cast<char>(inValue >> 8), static_cast<char>(inValue)};
    };
    std::vector<std::string> objects = {"\xD2" + be32(1) + be32(3) + be32(2) + be32(4), "VStatus",
                                        std::string("\x10\x01", 2), "Qx"};
    for (unsigned i = 1; i < inArrays; ++i) {
        std::string array(1, static_cast<char>(0xA0 | inFanOut));
        for (unsigned n = 0; n < inFanOut; ++n) {
            array += be32(4 + i);
        }
        objects.push_back(array);
    }
    objects.emplace_back("\xA0"); // the innermost
    std::string file = "bplist00";
    std::string table;
    for (const std::string& object : objects) {
        table += be32(file.size());
        file += object;
    }
    const std::size_t tableOffset = file.size();
    return file + table + std::string(6, '\0') + "\x04\x04" + std::string(4, '\0') +
           be32(objects.size()) + std::string(8, '\0') + std::string(4, '\0') + be32(tableOffset);
}

// What another writer wrote is read, XML or binary; a dictionary without an integer
// "Status" reads as 0; anything else is no status file and is set aside, never overwritten.
// So is a list the property-list library could not take safely: nested too deep (which it
// would follow by recursion) or expanding to too many objects.
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
        // Past 32 bits a status is still no "nothing begun"; a byte-order mark is no fault.
        {plist + "<dict><key>Status</key><integer>4294967296</integer></dict></plist>", 2147483647,
         false},
        {"\xEF\xBB\xBF" + plist + "<dict><key>Status</key><integer>2</integer></dict></plist>", 2,
         false},
        {"not a property list", 0, true},
        {plist + "<array><integer>2</integer></array></plist>", 0, true},
        {plist + "<dict><key>Status</key><integer>2", 0, true},
        {std::string(CPreferenceFile::kMaxBytes + 1, ' '), 0, true},
        {nestedXml(63), 1, false}, // with the dictionary, 64 levels
        {nestedXml(64), 0, true},
        {nestedXml(30, "<!-- </array></array></array> -->" + nestedXml(40)), 0, true},
        {nestedBinary(63), 1, false},
        {nestedBinary(64), 0, true},
        {nestedBinary(20, 2), 0, true}, // a million objects from 20 arrays
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
    EXPECT_EQ(fs::file_size(path() + ".bad"), std::string("not a property list").size())
        << "the first one kept, not overwritten";

    // An empty file is a place to start, as no file is: nothing stored, nothing set aside.
    write("");
    std::int32_t status = 99;
    EXPECT_FALSE(CPreferenceFile(path()).load(status));
    EXPECT_EQ(CPreferenceFile::refusalOf(path()), "");
    EXPECT_FALSE(fs::exists(path() + ".bad." + std::to_string(kept)));
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

// What the updater writes it reads back: other keys are kept as long as the indented XML
// stays within the size it reads, and left out when it would not.
TEST_F(PreferenceFile, WhatIsWrittenIsReadBack) {
    std::string many;
    for (int i = 0; i < 20'000; ++i) {
        many += "<true/>";
    }
    for (const std::string& text : {nestedXml(63), nestedXml(60, many)}) {
        write(text);
        std::int32_t status = 0;
        ASSERT_TRUE(CPreferenceFile(path()).load(status));
        CPreferenceFile file(path());
        ASSERT_TRUE(file.load(status));
        ASSERT_TRUE(file.save(2)) << file.problem();
        EXPECT_LE(fs::file_size(path()), CPreferenceFile::kMaxBytes);
        CPreferenceFile again(path());
        EXPECT_TRUE(again.load(status));
        EXPECT_EQ(again.problem(), "");
        EXPECT_EQ(status, 2);
    }
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
