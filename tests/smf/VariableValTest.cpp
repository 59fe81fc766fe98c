#include "Common/SMF/SMFUtil.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

namespace {

using smftest::Bytes;

struct VarCase {
    Bytes bytes;
    std::uint32_t value;
};

const VarCase kValues[] = {{{0x00}, 0},
                           {{0x7F}, 127},
                           {{0x81, 0x00}, 128},
                           {{0xC0, 0x00}, 0x2000},
                           {{0xFF, 0x7F}, 0x3FFF},
                           {{0x81, 0x80, 0x00}, 0x4000},
                           {{0xFF, 0xFF, 0x7F}, 0x1FFFFF},
                           {{0x81, 0x80, 0x80, 0x00}, 0x200000},
                           {{0xFF, 0xFF, 0xFF, 0x7F}, 0x0FFFFFFF}};

TEST(VariableValCodec, DecodesAndEncodesInTheSameBytes) {
    for (const VarCase& c : kValues) {
        SCOPED_TRACE(c.value);
        std::uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(SMFUtil::fetchVariableVal(c.bytes.data(),
                                            static_cast<std::uint32_t>(c.bytes.size()), value),
                  c.bytes.size());
        EXPECT_EQ(value, c.value);

        const std::uint32_t size = SMFUtil::getVariableValSize(c.value);
        ASSERT_EQ(size, c.bytes.size());
        Bytes out(6, 0xEE);
        SMFUtil::setVariableVal(out.data(), c.value, size);
        EXPECT_EQ(Bytes(out.begin(), out.begin() + size), c.bytes);
        EXPECT_EQ(out[size], 0xEE) << "wrote past the quantity";
    }
}

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
