// CFString: formatting and comparing, lifetime, sizes, and conversions that cannot succeed.
#include "Platform/CoreFoundation.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string text(CFStringRef inString) {
    char buffer[256];
    return CFStringGetCString(inString, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer
                                                                                      : "<failed>";
}

TEST(CFString, CreateFormatCompareAndRelease) {
    CFStringRef model = CFStringCreateWithCString(nullptr, "VYR10", kCFStringEncodingUTF8);
    ASSERT_NE(model, nullptr);
    CFStringRef copy = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@"), model);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(text(copy), "VYR10");
    EXPECT_EQ(CFStringCompare(model, copy, 0), kCFCompareEqualTo);
    CFStringRef lower = CFStringCreateWithCString(nullptr, "vyr10", kCFStringEncodingUTF8);
    EXPECT_EQ(CFStringCompare(model, lower, 0), kCFCompareLessThan)
        << "comparison is case-sensitive";
    CFStringRef both =
        CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@ & %@ 100%%"), model, lower);
    EXPECT_EQ(text(both), "VYR10 & vyr10 100%");
    for (CFStringRef s : {model, copy, lower, both}) {
        CFRelease(s);
    }
}

TEST(CFString, RetainKeepsAStringAliveAcrossOneRelease) {
    CFStringRef s = CFStringCreateWithCString(nullptr, "kept", kCFStringEncodingUTF8);
    CFRetain(s);
    CFRelease(s);
    EXPECT_EQ(text(s), "kept"); // AddressSanitizer would see a use after free
    CFRelease(s);
    CFRelease(nullptr);
}

TEST(CFString, ConstantsAreSharedAndNeverFreed) {
    CFStringRef a = CFSTR("MIDI INPUT");
    EXPECT_EQ(a, CFSTR("MIDI INPUT"));
    CFRelease(a);
    EXPECT_EQ(text(a), "MIDI INPUT");
}

TEST(CFString, LengthCountsUtf16UnitsAndBoundsTheUtf8Size) {
    struct Case {
        const char* utf8;
        CFIndex units;
    };
    const Case cases[] = {{"", 0},
                          {"abc", 3},
                          {"\xC3\xA9t\xC3\xA9", 3},
                          {"\xE2\x82\xAC", 1},
                          {"\xF0\x9F\x8E\xB9", 2}};
    for (const Case& c : cases) {
        CFStringRef s = CFStringCreateWithCString(nullptr, c.utf8, kCFStringEncodingUTF8);
        ASSERT_NE(s, nullptr) << c.utf8;
        EXPECT_EQ(CFStringGetLength(s), c.units) << c.utf8;
        EXPECT_GE(CFStringGetMaximumSizeForEncoding(c.units, kCFStringEncodingUTF8) + 1,
                  static_cast<CFIndex>(std::string(c.utf8).size()) + 1);
        CFRelease(s);
    }
}

TEST(CFString, ConversionsThatCannotSucceedFail) {
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "ok \xC3", kCFStringEncodingUTF8), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingUTF8), nullptr);
    EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%d"), 1), nullptr);

    CFStringRef s = CFSTR("four");
    char small[4];
    EXPECT_FALSE(CFStringGetCString(s, small, sizeof small, kCFStringEncodingUTF8))
        << "no room for the zero";
    char enough[5];
    EXPECT_TRUE(CFStringGetCString(s, enough, sizeof enough, kCFStringEncodingUTF8));
    EXPECT_FALSE(CFStringGetCString(s, enough, sizeof enough, 0x0600));
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(4, 0x0600), kCFNotFound);
}

} // namespace
