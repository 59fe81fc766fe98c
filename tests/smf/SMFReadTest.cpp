#include "Common/SMF/SMF.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

namespace {

using smftest::be32;
using smftest::Bytes;
using smftest::chunk;
using smftest::header;
using smftest::operator+;
using smftest::text;
using Reason = ESMFReadFailure;

const Bytes kEndOnly = {0x00, 0xFF, 0x2F, 0x00};

// "MThd" 00 00 00 06 00 00 00 01 00 60 "MTrk" 00 00 00 04 00 FF 2F 00
Bytes minimalFile(std::uint16_t inTracks = 1) {
    return header(0, inTracks, 96) + chunk("MTrk", kEndOnly);
}

struct RefusedCase {
    const char* name;
    Bytes file;
    Reason reason;
    std::uint32_t offset;
};

Bytes slice(const Bytes& inBytes, std::size_t inFrom, std::size_t inTo) {
    return Bytes(inBytes.begin() + static_cast<std::ptrdiff_t>(inFrom),
                 inBytes.begin() + static_cast<std::ptrdiff_t>(inTo));
}

Bytes withDivision(std::uint16_t inDivision) {
    return header(0, 1, inDivision) + chunk("MTrk", kEndOnly);
}

const Bytes kNameWithTag = {0x00, 0xFF, 0x01, 0x08, 'M', 'T', 'r', 'k', 0, 0, 0, 0};

const RefusedCase kRefused[] = {
    {"FewerThan14Bytes", slice(minimalFile(), 0, 13), Reason::kFileTooShort, 13},
    {"HeaderAlone", header(0, 1, 96), Reason::kTooFewTrackTags, 10},
    {"NotMThd", text("RIFF") + slice(minimalFile(), 4, 26), Reason::kNotMidiFile, 0},
    {"HeaderLength8", chunk("MThd", {0, 0, 0, 1, 0, 96, 0, 0}) + chunk("MTrk", kEndOnly),
     Reason::kHeaderLength, 4},
    {"Format2", header(2, 1, 96) + chunk("MTrk", kEndOnly), Reason::kUnsupportedFormat, 8},
    {"Format3", header(3, 1, 96) + chunk("MTrk", kEndOnly), Reason::kUnsupportedFormat, 8},
    {"NoTracksDeclared", header(0, 0, 96) + chunk("MTrk", kEndOnly), Reason::kNoTracks, 10},
    {"MoreTracksThanTags", minimalFile(2), Reason::kTooFewTrackTags, 10},
    {"TagInsideTextCountsButTheTrackIsMissing",
     header(0, 2, 96) + chunk("MTrk", kNameWithTag + kEndOnly), Reason::kChunkTooShort, 38},
    {"ValueAfterATagOfTheFileSize",
     header(0, 1, 96) +
         chunk("MTrk", Bytes{0x00, 0xFF, 0x01, 0x08, 'M', 'T', 'r', 'k'} + be32(42) + kEndOnly),
     Reason::kTrackTagLength, 30},
    {"Division0", withDivision(0), Reason::kDivision, 12},
    {"Division8000", withDivision(0x8000), Reason::kDivision, 12},
    {"Division80FF", withDivision(0x80FF), Reason::kDivision, 12},
    {"OtherChunkBeforeTheTrack", header(0, 1, 96) + chunk("XFIH", {1, 2}) + chunk("MTrk", kEndOnly),
     Reason::kChunkId, 14},
    {"BadEventInSecondTrack",
     header(1, 2, 96) + chunk("MTrk", kEndOnly) + chunk("MTrk", {0x00, 0x3C, 0x40}),
     Reason::kNoRunningStatus, 35},
    {"TrackLongerThanTheFile", header(0, 1, 96) + text("MTrk") + be32(5) + kEndOnly,
     Reason::kChunkLength, 18}};

TEST(SMFRefused, LeavesTheContainerEmpty) {
    for (const RefusedCase& c : kRefused) {
        SCOPED_TRACE(c.name);
        CSMF smf;
        smf.addTrack(); // something to clear
        std::uint32_t count = 0;
        EXPECT_FALSE(smf.setData(c.file.data(), static_cast<std::uint32_t>(c.file.size()), count));
        EXPECT_TRUE(smf.mTracks.empty());
        EXPECT_EQ(smf.mHeader.mFormat, 0);
        EXPECT_EQ(smf.mHeader.mNumTracks, 0);
        EXPECT_EQ(smf.mHeader.mDivision, 0);
        EXPECT_EQ(smf.mHeader.getChunkId(), 0u);
        EXPECT_EQ(smf.getReadFailure().reason, c.reason);
        EXPECT_EQ(smf.getReadFailure().offset, c.offset);
    }
}

Bytes nameEvent(const Bytes& name) {
    return Bytes{0x00, 0xFF, 0x03, static_cast<std::uint8_t>(name.size())} + name;
}

TEST(SequenceName, FirstTrackWithANameWins) {
    struct Case {
        std::vector<Bytes> bodies;
        std::string name;
    };
    const Case cases[] = {
        {{kEndOnly, kEndOnly}, ""},
        {{{0x00, 0xC0, 0x01}, nameEvent(text("Second"))}, "Second"},
        {{nameEvent(text("First")), nameEvent(text("Second"))}, "First"},
        {{nameEvent({'A', 'B', 0, 'C'})}, "AB"},
        {{nameEvent({})}, ""},
        {{Bytes{0x00, 0xFF, 0x01, 0x01, 'x'} + nameEvent(text("Late"))}, "Late"},
    };
    for (const Case& c : cases) {
        const Bytes file = smftest::smfFile(1, 96, c.bodies);
        CSMF smf;
        std::uint32_t count = 0;
        ASSERT_TRUE(smf.setData(file.data(), static_cast<std::uint32_t>(file.size()), count));
        EXPECT_EQ(smf.getSequenceName(), c.name);
    }
    CSMF one; // a name for a track that is not there is not set
    one.addTrack();
    one.setSequenceName(1, text("VYR").data(), 3);
    EXPECT_EQ(one.mTracks[0]->GetEventCount(), 0u);
}

} // namespace
