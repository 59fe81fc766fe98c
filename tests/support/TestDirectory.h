// A folder of the running test's own, removed with everything in it at the end.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

class CTestDirectory {
  public:
    // A fresh folder each time: a name made only of the pid and the test would find what a
    // killed run with the same pid left behind.
    CTestDirectory() {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("vyr-test-") + test->test_suite_name() + "-" + test->name();
        std::string path = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
        if (::mkdtemp(path.data()) == nullptr) {
            throw std::filesystem::filesystem_error(
                "cannot create the test's folder", path,
                std::error_code(errno, std::generic_category()));
        }
        mPath = path;
    }
    ~CTestDirectory() {
        std::error_code ignored;
        std::filesystem::permissions(mPath, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(mPath, ignored);
    }
    CTestDirectory(const CTestDirectory&) = delete;
    CTestDirectory& operator=(const CTestDirectory&) = delete;

    const std::filesystem::path& path() const { return mPath; }
    std::string file(const std::string& inName) const { return (mPath / inName).string(); }
    /// Writes inBytes to the file inName; returns its path.
    std::string write(const std::string& inName, const std::vector<std::uint8_t>& inBytes) const {
        const std::string path = file(inName);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(inBytes.data()),
                   static_cast<std::streamsize>(inBytes.size()));
        return path;
    }
    /// The whole of a file, or "" when it cannot be read.
    static std::string read(const std::filesystem::path& inPath) {
        std::ifstream in(inPath, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

  private:
    std::filesystem::path mPath;
};
