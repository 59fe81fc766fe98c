// When each firmware message is sent: tick-to-millisecond arithmetic and progress values.
#include "Common/FirmwareSchedule.h"
#include "FirmwareImage.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

namespace {

using smftest::Bytes;
using smftest::operator+;

const Bytes kSysEx = {0xF0, 0x7E, 0xF7};

Bytes tempo(std::uint8_t inDelta, std::uint32_t inValue) {
    return {inDelta,
            0xFF,
            0x51,
            0x03,
            static_cast<std::uint8_t>(inValue >> 16),
            static_cast<std::uint8_t>(inValue >> 8),
            static_cast<std::uint8_t>(inValue)};
}

Bytes vlq(std::uint32_t inValue) {
    Bytes b;
    b.push_back(static_cast<std::uint8_t>(inValue & 0x7F));
    while ((inValue >>= 7) != 0) {
        b.insert(b.begin(), static_cast<std::uint8_t>(0x80 | (inValue & 0x7F)));
    }
    return b;
}

Bytes sysExAt(std::uint32_t inDelta) {
    return vlq(inDelta) + Bytes{0xF0, 0x02, 0x7E, 0xF7};
}

CFirmwareSchedule scheduleOf(const Bytes& inFile) {
    CSMF smf;
    std::uint32_t count = 0;
    EXPECT_TRUE(smf.setData(inFile.data(), static_cast<std::uint32_t>(inFile.size()), count));
    CFirmwareSchedule schedule;
    EXPECT_TRUE(schedule.build(smf)) << schedule.failure();
    return schedule;
}

std::vector<std::uint32_t> times(const CFirmwareSchedule& inSchedule) {
    std::vector<std::uint32_t> result;
    for (std::size_t i = 0; i < inSchedule.size(); ++i) {
        result.push_back(inSchedule.timeOf(i));
    }
    return result;
}

TEST(Schedule, WorkedExample) {
    // Tempo 500000 at tick 0 and 700000 (85 bpm after truncation) at 1920; SysEx at
    // 0, 480, 1000, 1920, 2400, 2880, all in track 0.
    const Bytes track0 = tempo(0, 500000) + sysExAt(0) + sysExAt(480) + sysExAt(520) +
                         sysExAt(920) + tempo(0, 700000) + sysExAt(480) + sysExAt(480);
    const CFirmwareSchedule schedule = scheduleOf(smftest::smfFile(0, 480, {track0}));
    EXPECT_EQ(times(schedule), (std::vector<std::uint32_t>{0, 500, 1042, 2000, 2706, 3412}));
    EXPECT_EQ(schedule.tempoMap().size(), 2u);
    EXPECT_EQ(schedule.tempoMap()[1].beatsPerMinute, 85u);
}

TEST(Schedule, TicksBeforeTheFirstTempoTakeNoTime) {
    const Bytes track0 = sysExAt(480) + sysExAt(480) + tempo(0, 500000) + sysExAt(480);
    EXPECT_EQ(times(scheduleOf(smftest::smfFile(0, 480, {track0}))),
              (std::vector<std::uint32_t>{0, 0, 500}));
}

TEST(Schedule, WithoutTempoEveryMessageIsAtZero) {
    const Bytes track0 = sysExAt(0) + sysExAt(5000) + sysExAt(100000);
    EXPECT_EQ(times(scheduleOf(smftest::smfFile(0, 96, {track0}))),
              (std::vector<std::uint32_t>{0, 0, 0}));
}

TEST(Schedule, OnlyTrackZeroTimesAndTracksAreNotMerged) {
    // Tempo in track 1 has no effect; track 1's messages come after track 0's.
    const Bytes track0 = tempo(0, 500000) + sysExAt(960);
    const Bytes track1 = sysExAt(0) + tempo(0, 250000) + sysExAt(480);
    const CFirmwareSchedule schedule = scheduleOf(smftest::smfFile(1, 480, {track0, track1}));
    EXPECT_EQ(times(schedule), (std::vector<std::uint32_t>{1000, 0, 500}));
}

TEST(Schedule, MessageAtATempoChangeIsTimedByTheTemposBefore) {
    const Bytes track0 = tempo(0, 500000) + tempo(0x60, 250000) + sysExAt(0) + sysExAt(96);
    // 96 ticks at 120 bpm, division 96: 500 ms; then 96 at 240: 250 ms more.
    EXPECT_EQ(times(scheduleOf(smftest::smfFile(0, 96, {track0}))),
              (std::vector<std::uint32_t>{500, 750}));
}

TEST(Schedule, LaterOfTwoTemposAtOneTickGoverns) {
    const Bytes track0 = tempo(0, 250000) + tempo(0, 500000) + sysExAt(96);
    EXPECT_EQ(times(scheduleOf(smftest::smfFile(0, 96, {track0}))),
              (std::vector<std::uint32_t>{500}));
}

TEST(Schedule, SmpteDivisionIsAPlainTickCount) {
    const Bytes track0 = tempo(0, 500000) + sysExAt(57936);
    EXPECT_EQ(times(scheduleOf(smftest::smfFile(0, 0xE250, {track0}))),
              (std::vector<std::uint32_t>{500}));
}

TEST(Schedule, MessagesAreCopiedAsTheTrackHoldsThem) {
    const Bytes track0 = Bytes{0x00, 0xF0, 0x03, 0x43, 0x10, 0xF7, 0x00, 0xF7, 0x02, 0x43, 0x11};
    const CFirmwareSchedule schedule = scheduleOf(smftest::smfFile(0, 96, {track0}));
    ASSERT_EQ(schedule.size(), 2u);
    EXPECT_EQ(Bytes(schedule.bytesOf(0), schedule.bytesOf(0) + schedule.lengthOf(0)),
              (Bytes{0xF0, 0x43, 0x10, 0xF7}));
    EXPECT_EQ(Bytes(schedule.bytesOf(1), schedule.bytesOf(1) + schedule.lengthOf(1)),
              (Bytes{0x43, 0x11}));
    EXPECT_EQ(schedule.totalBytes(), 6u);
}

TEST(Schedule, BadTempoRefusesTheImage) {
    const std::pair<Bytes, const char*> cases[] = {
        {tempo(0, 0), "the value 0"},
        {Bytes{0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}, "fewer than 3 data bytes"},
    };
    for (const auto& [bad, why] : cases) {
        CSMF smf;
        std::uint32_t count = 0;
        const Bytes file = smftest::smfFile(0, 96, {bad + sysExAt(0)});
        ASSERT_TRUE(smf.setData(file.data(), static_cast<std::uint32_t>(file.size()), count));
        CFirmwareSchedule schedule;
        EXPECT_FALSE(schedule.build(smf));
        EXPECT_EQ(schedule.size(), 0u);
        EXPECT_NE(schedule.failure().find(why), std::string::npos) << schedule.failure();
    }
}

TEST(Schedule, ProgressRoundsHalfUp) {
    std::vector<int> eight;
    for (std::size_t i = 0; i < 8; ++i) {
        eight.push_back(CFirmwareSchedule::progressBefore(i, 8));
    }
    EXPECT_EQ(eight, (std::vector<int>{0, 13, 25, 38, 50, 63, 75, 88}));
    EXPECT_EQ(CFirmwareSchedule::progressBefore(199, 200), 100);
    EXPECT_EQ(CFirmwareSchedule::progressBefore(198, 199), 99);
}

TEST(Schedule, SampleImageLastsAboutTenSeconds) {
    const Bytes image = buildFirmwareImage(sampleFirmwareImage());
    const CFirmwareSchedule schedule = scheduleOf(image);
    ASSERT_EQ(schedule.size(), 320u);
    EXPECT_GT(schedule.timeOf(319), 9000u);
    EXPECT_LT(schedule.timeOf(319), 11000u);
}

} // namespace
