#include "Common/DebugUtil.h"

#include <gtest/gtest.h>

namespace {

TEST(Diagnostics, LocatedMacroNamesTheCallingLine) {
    testing::internal::CaptureStderr();
    const int line = __LINE__ + 1;
    DTA_LOCATED_DIAGNOSTIC("M", "S");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "M (S:" + std::to_string(line) + ")\n");
}

TEST(DiagnosticsDeathTest, AssertionCarriesTheConditionText) {
    const int* pBuff = nullptr;
    EXPECT_DEATH(DTA_ASSERT(0 != pBuff), "Assertion failed: 0 != pBuff");
}

} // namespace
