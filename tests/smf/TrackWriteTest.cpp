#include "Common/SMF/SMF.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

namespace {

using smftest::Bytes;
using smftest::makeEvent;
using smftest::operator+;
using smftest::writtenBody;

constexpr std::uint32_t kShort = CMidiEvent::kEventTypeShort;
constexpr std::uint32_t kSysEx = CMidiEvent::kEventTypeSysEx;
constexpr std::uint32_t kMeta = CMidiEvent::kEventTypeMeta;
const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

struct EventSpec {
    std::uint32_t kind;
    std::uint32_t tick;
    std::uint8_t lead;
    Bytes data;
};

struct WriteCase {
    const char* name;
    std::vector<EventSpec> events;
    Bytes body; // without the end-of-track event
};

const WriteCase kLists[] = {
    {"Empty", {}, {}},
    {"NoteOnAndOff",
     {{kShort, 0, 0x90, {0x3C, 0x64}}, {kShort, 96, 0x80, {0x3C, 0x00}}},
     {0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00}},
    {"NoRunningStatus",
     {{kShort, 0, 0x90, {0x3C, 0x64}}, {kShort, 0, 0x90, {0x40, 0x64}}},
     {0x00, 0x90, 0x3C, 0x64, 0x00, 0x90, 0x40, 0x64}},
    {"Delta128", {{kShort, 128, 0xC0, {0x01}}}, {0x81, 0x00, 0xC0, 0x01}},
    {"Delta3FFF", {{kShort, 0x3FFF, 0xC0, {0x01}}}, {0xFF, 0x7F, 0xC0, 0x01}},
    {"LargestDelta", {{kShort, 0x0FFFFFFF, 0xC0, {0x01}}}, {0xFF, 0xFF, 0xFF, 0x7F, 0xC0, 0x01}},
    {"SetTempo",
     {{kMeta, 0, 0x51, {0x07, 0xA1, 0x20}}},
     {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}},
    {"SysExF0Form",
     {{kSysEx, 0, 0, {0xF0, 0x43, 0x10, 0xF7}}},
     {0x00, 0xF0, 0x03, 0x43, 0x10, 0xF7}},
    {"SysExF7FormIsWrittenAsF0", {{kSysEx, 0, 0, {0x43, 0x10}}}, {0x00, 0xF0, 0x02, 0x43, 0x10}},
    {"SysExWithoutData", {{kSysEx, 0, 0, {}}}, {0x00, 0xF0, 0x00}},
    {"SysExOfOnlyF0", {{kSysEx, 0, 0, {0xF0}}}, {0x00, 0xF0, 0x00}},
    {"ShortWithoutChannelStatus", {{kShort, 0, 0x45, {0x01, 0x02}}}, {0x00, 0x01, 0x02}},
    {"UnlistedMeta", {{kMeta, 5, 0x21, {0x00}}}, {0x05, 0xFF, 0x21, 0x01, 0x00}}};

TEST(TrackWrite, GoldenBytesAndMatchingSize) {
    for (const WriteCase& c : kLists) {
        SCOPED_TRACE(c.name);
        CMidiTrack track;
        for (const EventSpec& e : c.events) {
            track.AddEvent(makeEvent(e.kind, e.tick, e.lead, e.data));
        }
        const Bytes expected = c.body + kEnd;
        EXPECT_EQ(writtenBody(track), expected);
        EXPECT_EQ(track.getChunkDataSize(), expected.size());
    }
}

// Lists with no encoding are refused before a byte is written.
TEST(TrackWriteRefused, UnencodableListsWriteNothing) {
    struct Case {
        const char* name;
        std::vector<EventSpec> events;
    };
    const Case cases[] = {
        {"TickGoesBack", {{kShort, 10, 0xC0, {1}}, {kShort, 5, 0xC0, {2}}}},
        {"DeltaOf0x10000000", {{kShort, 0x10000000, 0xC0, {1}}}},
        {"DeltaBeyondAfterAnEvent", {{kShort, 1, 0xC0, {1}}, {kShort, 0xFFFFFFFF, 0xC0, {2}}}},
        {"KindZero", {{CMidiEvent::kEventTypeNone, 0, 0, {1, 2}}}},
    };
    for (const Case& c : cases) {
        CMidiTrack track;
        for (const EventSpec& e : c.events) {
            track.AddEvent(makeEvent(e.kind, e.tick, e.lead, e.data));
        }
        EXPECT_FALSE(track.isWritable()) << c.name;
        Bytes out(track.getChunkDataSize() + 8, 0xEE);
        std::uint32_t written = 99;
        EXPECT_FALSE(track.writeChunkBody(out.data(), written)) << c.name;
        EXPECT_EQ(written, 0u) << c.name;
        EXPECT_EQ(out, Bytes(out.size(), 0xEE)) << c.name;

        CSMF smf;
        smf.addTrack()->AddEvent(makeEvent(kShort, 0, 0xC0, {0}));
        for (const EventSpec& e : c.events) {
            smf.mTracks[0]->AddEvent(makeEvent(e.kind, e.tick, e.lead, e.data));
        }
        Bytes file(smf.GetFileSize(), 0xEE);
        std::uint32_t count = 0;
        EXPECT_FALSE(smf.getData(file.data(), count)) << c.name;
        EXPECT_EQ(file, Bytes(file.size(), 0xEE)) << c.name << ": wrote part of a refused file";
    }
}

TEST(Sort, RehearsalMarksLeadTheirTickAndChordsDoNot) {
    CMidiTrack track;
    track.AddEvent(makeEvent(kShort, 5, 0xC0, {1}));
    track.AddEvent(makeEvent(kMeta, 5, 0x01, {'a'}));
    track.AddEvent(makeEvent(kMeta, 5, 0x7F, {0x43, 0x7B, 0x01}));       // chord
    track.AddEvent(makeEvent(kMeta, 5, 0x7F, {0x43, 0x7B, 0x02, 0x01})); // rehearsal mark 1
    track.AddEvent(makeEvent(kMeta, 4, 0x01, {'b'}));
    track.AddEvent(makeEvent(kMeta, 5, 0x7F, {0x43, 0x7B, 0x02})); // rehearsal mark, no number
    track.AddEvent(makeEvent(kMeta, 5, 0x01, {0x43, 0x7B, 0x02})); // not sequencer-specific
    track.sortEvents();
    EXPECT_EQ(smftest::describe(track),
              (std::vector<std::string>{"4 meta 01 62", "5 meta 7F 43 7B 02 01",
                                        "5 meta 7F 43 7B 02", "5 short C0 01", "5 meta 01 61",
                                        "5 meta 7F 43 7B 01", "5 meta 01 43 7B 02"}));
}

} // namespace
