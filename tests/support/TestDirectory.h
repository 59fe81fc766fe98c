// A folder of the running test's own, removed with everything in it at the end.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

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

  private:
    std::filesystem::path mPath;
};
