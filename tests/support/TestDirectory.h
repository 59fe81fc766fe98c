// A folder of the running test's own, removed with everything in it at the end.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

class CTestDirectory {
  public:
    CTestDirectory()
        : mPath(std::filesystem::temp_directory_path() /
                ("vyr-test-" + std::to_string(getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::create_directories(mPath);
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
