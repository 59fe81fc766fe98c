// Where strict UTF-8 begins and ends: each row sits on one side of a boundary.
#include "Platform/Utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8, SequencesAreTakenOnlyWhereStrictUtf8AllowsThem) {
    const struct {
        std::string_view text;
        std::size_t length;
        std::uint32_t code;
    } cases[] = {
        {"", 0, 0},
        {{"\0", 1}, 1, 0},
        {"\x7F", 1, 0x7F},
        {"\x80", 0, 0},     // a continuation byte alone
        {"\xC1\xBF", 0, 0}, // overlong U+007F
        {"\xC2\x80", 2, 0x80},
        {"\xDF\xBF", 2, 0x7FF},
        {"\xC2\x41", 0, 0},     // no continuation byte
        {"\xE0\x9F\xBF", 0, 0}, // overlong U+07FF
        {"\xE0\xA0\x80", 3, 0x800},
        {"\xED\x9F\xBF", 3, 0xD7FF},
        {"\xED\xA0\x80", 0, 0}, // the first surrogate
        {"\xED\xBF\xBF", 0, 0}, // the last
        {"\xEE\x80\x80", 3, 0xE000},
        {"\xEF\xBF\xBF", 3, 0xFFFF},
        {"\xE2\x82", 0, 0},         // cut short
        {"\xF0\x8F\xBF\xBF", 0, 0}, // overlong U+FFFF
        {"\xF0\x90\x80\x80", 4, 0x10000},
        {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
        {"\xF4\x90\x80\x80", 0, 0}, // above U+10FFFF
        {"\xF5\x80\x80\x80", 0, 0},
        {"\xC3\xA9t", 2, 0xE9}, // what follows is not its business
    };
    for (const auto& c : cases) {
        std::uint32_t code = 0xDEAD;
        EXPECT_EQ(Utf8SequenceLength(c.text, &code), c.length) << testing::PrintToString(c.text);
        EXPECT_EQ(code, c.length != 0 ? c.code : 0xDEAD) << testing::PrintToString(c.text);
    }
}

} // namespace
