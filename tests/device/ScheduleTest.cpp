// When each firmware message is sent: the tempo map turned into milliseconds; the sample image.
#include "Common/FirmwareSchedule.h"
#include "FirmwareImage.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using smftest::Bytes;
using smftest::operator+;

Bytes tempo(std::uint8_t inDelta, std::uint32_t inValue) {
    return {inDelta,
            0xFF,
            0x51,
            0x03,
            static_cast<std::uint8_t>(inValue >> 16),
            static_cast<std::uint8_t>(inValue >> 8),
            static_cast<std::uint8_t>(inValue)};
}

Bytes sysExAt(std::uint32_t inDelta) {
    return smftest::vlq(inDelta) + Bytes{0xF0, 0x02, 0x7E, 0xF7};
}

TEST(Schedule, TimesFollowTheTempoMapOfTrackZero) {
    const struct {
        const char* name;
        std::uint16_t division;
        std::vector<Bytes> tracks;
        std::vector<std::uint32_t> times;
    } cases[] = {
        // 700000 is 85 bpm after truncation, and the times use the truncated value.
        {"WorkedExample",
         480,
         {tempo(0, 500000) + sysExAt(0) + sysExAt(480) + sysExAt(520) + sysExAt(920) +
          tempo(0, 700000) + sysExAt(480) + sysExAt(480)},
         {0, 500, 1042, 2000, 2706, 3412}},
        {"TicksBeforeTheFirstTempoTakeNoTime",
         480,
         {sysExAt(480) + sysExAt(480) + tempo(0, 500000) + sysExAt(480)},
         {0, 0, 500}},
        {"WithoutTempoEverythingIsAtZero", 96, {sysExAt(0) + sysExAt(5000)}, {0, 0}},
        // A tempo in track 1 counts for nothing; track 1's messages come after track 0's.
        {"TracksAreNotMerged",
         480,
         {tempo(0, 500000) + sysExAt(960), sysExAt(0) + tempo(0, 250000) + sysExAt(480)},
         {1000, 0, 500}},
        {"MessageAtATempoChangeIsTimedByTheTemposBefore",
         96,
         {tempo(0, 500000) + tempo(0x60, 250000) + sysExAt(0) + sysExAt(96)},
         {500, 750}},
        {"LaterOfTwoTemposAtOneTickGoverns",
         96,
         {tempo(0, 250000) + tempo(0, 500000) + sysExAt(96)},
         {500}},
        {"SmpteDivisionIsAPlainTickCount", 0xE250, {tempo(0, 500000) + sysExAt(57936)}, {500}},
    };
    for (const auto& c : cases) {
        const Bytes file = smftest::smfFile(c.tracks.size() > 1 ? 1 : 0, c.division, c.tracks);
        CFirmwareSchedule schedule;
        ASSERT_EQ(schedule.buildFromImage(file.data(), static_cast<std::uint32_t>(file.size())), "")
            << c.name;
        std::vector<std::uint32_t> times;
        for (std::size_t i = 0; i < schedule.size(); ++i) {
            times.push_back(schedule.timeOf(i));
        }
        EXPECT_EQ(times, c.times) << c.name;
    }
}

// The sample image: 320 whole SysEx messages of the device's maker, 7-bit data between
// F0 and F7, over about ten seconds.
TEST(Schedule, SampleImageIsTenSecondsOfWholeSysEx) {
    const Bytes image = buildFirmwareImage(sampleFirmwareImage());
    CFirmwareSchedule schedule;
    ASSERT_EQ(schedule.buildFromImage(image.data(), static_cast<std::uint32_t>(image.size())), "");
    ASSERT_EQ(schedule.size(), 320u);
    EXPECT_GT(schedule.timeOf(319), 9000u);
    EXPECT_LT(schedule.timeOf(319), 11000u);
    for (std::size_t i = 0; i < schedule.size(); ++i) {
        const Bytes message(schedule.bytesOf(i), schedule.bytesOf(i) + schedule.lengthOf(i));
        ASSERT_TRUE(message.size() >= 12 && message.size() <= 600) << i;
        EXPECT_EQ(Bytes(message.begin(), message.begin() + 2), (Bytes{0xF0, 0x43})) << i;
        EXPECT_EQ(message.back(), 0xF7) << i;
        EXPECT_TRUE(std::all_of(message.begin() + 1, message.end() - 1, [](std::uint8_t inByte) {
            return inByte < 0x80;
        })) << i;
    }
}

} // namespace
