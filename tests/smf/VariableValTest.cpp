#include "Common/SMF/SMFUtil.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

namespace {

using smftest::Bytes;

TEST(VariableVal, NeverReadsPastTheBytesGiven) {
    // A quantity that would end in the next byte, given one byte too few: each cut is refused.
    const Bytes bytes = {0x81, 0x81, 0x81, 0x01};
    for (std::uint32_t available = 0; available < 4; ++available) {
        std::uint32_t value = 0;
        EXPECT_EQ(SMFUtil::fetchVariableVal(bytes.data(), available, value),
                  SMFUtil::kVariableValFailure)
            << available << " bytes";
    }
}

} // namespace
