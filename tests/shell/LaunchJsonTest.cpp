// The JSON of --json stays valid whatever a device calls itself, and its numbers read the
// same in every locale.
#include "Shell/Launch/LaunchJson.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <limits>

namespace {

TEST(LaunchJson, AnyTextBecomesAValidStringThatReadsBack) {
    const struct {
        std::string text;
        std::string readBack;
    } cases[] = {
        {"VYR10 MIDI 1", "VYR10 MIDI 1"},
        {"a \"quoted\" \\ path", "a \"quoted\" \\ path"},
        {"tab\tnew\nline\x01\x7f", "tab\tnew\nline\x01\x7f"},
        {"Gerät \xe2\x86\x92 \xf0\x9f\x8e\xb9", "Gerät \xe2\x86\x92 \xf0\x9f\x8e\xb9"},
        {"cut \xe2\x86", "cut \xef\xbf\xbd\xef\xbf\xbd"},     // a sequence cut short
        {"stray \xff\x80", "stray \xef\xbf\xbd\xef\xbf\xbd"}, // bytes no UTF-8 has
    };
    for (const auto& c : cases) {
        const std::string quoted = jsonString(c.text);
        nlohmann::json parsed;
        ASSERT_NO_THROW(parsed = nlohmann::json::parse(quoted)) << quoted;
        EXPECT_EQ(parsed.get<std::string>(), c.readBack) << quoted;
    }
}

TEST(LaunchJson, NumbersHaveAPointAndThreeDecimals) {
    EXPECT_EQ(jsonNumber(1.5), "1.500");
    EXPECT_EQ(jsonNumber(12345.67891), "12345.679");
    EXPECT_EQ(jsonNumber(-0.0004), "-0.000");
    EXPECT_EQ(jsonNumber(std::numeric_limits<double>::quiet_NaN()), "null");
}

} // namespace
