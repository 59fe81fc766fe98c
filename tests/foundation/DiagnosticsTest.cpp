#include "Common/DebugUtil.h"
#include "Common/GenericException.h"

#include <gtest/gtest.h>

namespace {

TEST(GenericException, CarriesCodesAndAnEmptyFileName) {
    try {
        throw mstd::CGenericException(1000, -10830, "");
    } catch (const std::exception& e) { // caught as a std::exception: the base is public
        const auto* generic = dynamic_cast<const mstd::CGenericException*>(&e);
        ASSERT_NE(generic, nullptr);
        EXPECT_EQ(generic->getErrorCode(), 1000);
        EXPECT_EQ(generic->getOSErrorCode(), -10830);
        EXPECT_EQ(generic->getErrFileName(), "");
    }
}

TEST(GenericException, NullFileNameReadsAsEmpty) {
    const mstd::CGenericException e(1002, 0, nullptr);
    EXPECT_EQ(e.getErrorCode(), 1002);
    EXPECT_EQ(e.getOSErrorCode(), 0);
    EXPECT_TRUE(e.getErrFileName().empty());
}

TEST(Diagnostics, LocatedLineIsMessageSourceAndLine) {
    testing::internal::CaptureStderr();
    mstd::locatedDiagnostic("MIDIClientCreate returned error.", "DTAMIDIManager_Mac", 123);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "MIDIClientCreate returned error. (DTAMIDIManager_Mac:123)\n");
}

TEST(Diagnostics, LocatedMacroNamesTheCallingLine) {
    testing::internal::CaptureStderr();
    const int line = __LINE__ + 1;
    DTA_LOCATED_DIAGNOSTIC("M", "S");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "M (S:" + std::to_string(line) + ")\n");
}

TEST(Diagnostics, PlainLineIsTheMessageAlone) {
    testing::internal::CaptureStderr();
    mstd::plainDiagnostic("Exception caught!");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exception caught!\n");
}

TEST(DiagnosticsDeathTest, AssertionCarriesTheConditionText) {
    const int* pBuff = nullptr;
    EXPECT_DEATH(DTA_ASSERT(0 != pBuff), "Assertion failed: 0 != pBuff");
}

} // namespace
