// Reading a track: its events from the body, the refusals, and pulled events.
#include "Common/SMF/MidiTrack.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using smftest::Bytes;
using smftest::operator+;
using Reason = ESMFReadFailure;

struct TrackCase {
    const char* name;
    Bytes body;
    std::string events; // what the track holds afterwards, "|" between events
    Reason failure = Reason::kNone;
    std::uint32_t offset = 0; // of the failure, from the start of the body
};

const Bytes kLength65535 = {0x83, 0xFF, 0x7F};

const TrackCase kBodies[] = {
    {"Empty", {}, ""},
    {"EndOfTrackIsNotKept", {0x00, 0xFF, 0x2F, 0x00}, ""},
    {"RunningStatus",
     {0x00, 0x90, 0x3C, 0x64, 0x60, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00},
     "0 short 90 3C 64|96 short 90 3C 00"},
    {"ProgramChangeHasOneDataByte", {0x00, 0xC0, 0x05, 0x00, 0xFF, 0x2F, 0x00}, "0 short C0 05"},
    {"SysExF0FormKeepsItsF0",
     {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
     "0 sysex F0 7E 7F 09 01 F7"},
    {"SysExF7FormHoldsTheBytesAlone", {0x00, 0xF7, 0x03, 0x43, 0x10, 0xF7}, "0 sysex 43 10 F7"},
    {"SetTempo", {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, "0 meta 51 07 A1 20"},
    {"UnlistedMetaStays", {0x00, 0xFF, 0x21, 0x01, 0x00}, "0 meta 21 00"},
    {"MetaKeepsRunningStatus",
     {0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x00, 0x00, 0x3C, 0x00},
     "0 short 90 3C 64|0 meta 01|0 short 90 3C 00"},
    {"SysExKeepsRunningStatus",
     {0x00, 0x80, 0x3C, 0x00, 0x00, 0xF0, 0x01, 0xF7, 0x05, 0x3D, 0x00},
     "0 short 80 3C 00|0 sysex F0 F7|5 short 80 3D 00"},
    {"SystemByteRunsOnTheStatus", {0x00, 0xC1, 0x05, 0x00, 0xF8}, "0 short C1 05|0 short C1 F8"},
    {"DeltasAddUp", {0x81, 0x00, 0xC0, 0x01, 0x7F, 0xC0, 0x02}, "128 short C0 01|255 short C0 02"},
    {"LongestMetaIsRead", Bytes{0x00, 0xFF, 0x01} + kLength65535 + Bytes(65535, 0x41),
     "0 meta 01" + smftest::hex(Bytes(65535, 0x41).data(), 65535)},
    {"BytesAfterEndOfTrackAreNotRead", {0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90, 0x3C, 0x64, 0x80}, ""},
    {"EndOfTrackWithDataEndsToo",
     {0x00, 0xC0, 0x01, 0x00, 0xFF, 0x2F, 0x01, 0x55, 0x00, 0xC0},
     "0 short C0 01"},
    // Refused bodies: the events before the failing one stay.
    {"RunningStatusAtTheStart", {0x00, 0x3C, 0x64}, "", Reason::kNoRunningStatus, 1},
    {"ChannelMessageCutShort", {0x00, 0x90, 0x3C}, "", Reason::kShortDataCut, 3},
    {"RunningStatusMessageCutShort",
     {0x00, 0x90, 0x3C, 0x64, 0x00, 0x3C},
     "0 short 90 3C 64",
     Reason::kShortDataCut,
     6},
    {"MetaLongerThan65535", {0x00, 0xFF, 0x01, 0x84, 0x80, 0x00}, "", Reason::kLengthTooLarge, 3},
    {"DeltaOfFiveBytes", {0x80, 0x80, 0x80, 0x80, 0x00, 0xC0, 0x01}, "", Reason::kVariableVal, 0},
    {"DeltaWithNothingAfterIt",
     {0x00, 0xC0, 0x01, 0x81, 0x80},
     "0 short C0 01",
     Reason::kVariableValCut,
     3},
    {"DeltaAtTheVeryEnd", {0x00, 0xC0, 0x01, 0x00}, "0 short C0 01", Reason::kMissingEvent, 4},
    {"MetaWithoutType", {0x00, 0xFF}, "", Reason::kMetaTypeCut, 2},
    {"MetaWithoutLength", {0x00, 0xFF, 0x01}, "", Reason::kVariableValCut, 3},
    {"MetaLengthCutByTheEnd", {0x00, 0xFF, 0x01, 0x81}, "", Reason::kVariableValCut, 3},
    {"MetaLongerThanTheBody", {0x00, 0xFF, 0x01, 0x05, 0x41, 0x42}, "", Reason::kLengthPastEnd, 3},
    {"SysExLongerThanTheBody", {0x00, 0xF0, 0x04, 0x43, 0xF7}, "", Reason::kLengthPastEnd, 2},
    {"SysExLengthMissing", {0x00, 0xF7}, "", Reason::kVariableValCut, 2},
    {"SysExLengthOfFiveBytes",
     {0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},
     "",
     Reason::kVariableVal,
     2},
};

TEST(TrackRead, BodiesBecomeEvents) {
    for (const TrackCase& c : kBodies) {
        SCOPED_TRACE(c.name);
        // The body sits at the end of its buffer, so any read past it is a read past the
        // allocation, which AddressSanitizer reports.
        const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[c.body.size() + 1]);
        std::copy(c.body.begin(), c.body.end(), exact.get());
        CMidiTrack track;
        const bool ok = track.readChunkBody(exact.get(), static_cast<std::uint32_t>(c.body.size()));
        EXPECT_EQ(ok, c.failure == Reason::kNone);
        std::string events;
        for (const std::string& event : smftest::describe(track)) {
            events += (events.empty() ? "" : "|") + event;
        }
        EXPECT_EQ(events, c.events);
        if (!ok) {
            EXPECT_EQ(track.getReadFailure().reason, c.failure);
            EXPECT_EQ(track.getReadFailure().offset, c.offset);
        }
    }
}

// Sixteen deltas of 0x0FFFFFFF bring the tick to 0xFFFFFFF0: a last delta of 0x0F reaches the
// largest tick; 0x10 would wrap around and is refused.
TEST(TrackReadTick, TicksBeyond32BitsAreRefused) {
    for (const std::uint8_t last : {0x0F, 0x10}) {
        Bytes body;
        for (int i = 0; i < 16; ++i) {
            body = body + Bytes{0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00};
        }
        body = body + Bytes{last, 0xFF, 0x01, 0x00};
        CMidiTrack track;
        if (last == 0x0F) {
            ASSERT_TRUE(track.readChunkBody(body.data(), static_cast<std::uint32_t>(body.size())));
            EXPECT_EQ(track.GetEvent(16)->mTick, 0xFFFFFFFFu);
        } else {
            EXPECT_FALSE(track.readChunkBody(body.data(), static_cast<std::uint32_t>(body.size())));
            EXPECT_EQ(track.GetEventCount(), 16u);
            EXPECT_EQ(track.getReadFailure().reason, ESMFReadFailure::kTickOverflow);
        }
    }
}

TEST(TrackAccess, APulledEventOutlivesItsTrack) {
    // The data of read events live in the track's arena: AddressSanitizer sees any use of it
    // after the track is gone.
    const Bytes body = {0x00, 0xF0, 0x03, 0x01, 0x02, 0xF7, 0x00, 0xC0, 0x05};
    std::unique_ptr<CMidiEvent> pulled;
    {
        CMidiTrack track;
        ASSERT_TRUE(track.readChunkBody(body.data(), static_cast<std::uint32_t>(body.size())));
        pulled.reset(track.pullEvent(0));
        track.GetEvent(0)->setDataParam(body.data(), 4); // data replaced inside the arena
    }
    EXPECT_EQ(smftest::describe(*pulled), "0 sysex F0 01 02 F7");
}

} // namespace
