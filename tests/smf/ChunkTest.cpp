#include "Common/SMF/MidiHeader.h"
#include "Common/SMF/MidiTrack.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

namespace {

using smftest::Bytes;
using smftest::operator+;

const Bytes kHeader = {0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0x00, 0x01, 0x00, 0x02, 0x01, 0xE0};

TEST(HeaderChunk, LongerBodyIsSkippedWithTheChunk) {
    Bytes bytes = kHeader;
    bytes[7] = 8;
    bytes = bytes + Bytes{0xAA, 0xBB};
    CMidiHeader header;
    std::uint32_t consumed = 0;
    ASSERT_TRUE(header.setData(bytes.data(), 16, consumed));
    EXPECT_EQ(consumed, 16u);
    EXPECT_EQ(header.mDivision, 480);
}

TEST(HeaderChunk, ShortBodyFailsAfterStoringWhatItRead) {
    Bytes bytes(kHeader.begin(), kHeader.begin() + 13);
    bytes[7] = 5;
    CMidiHeader header;
    std::uint32_t consumed = 0;
    EXPECT_FALSE(header.setData(bytes.data(), 13, consumed));
    EXPECT_EQ(consumed, 8u);
    EXPECT_EQ(header.mFormat, 1);
    EXPECT_EQ(header.mNumTracks, 2);
    EXPECT_EQ(header.mDivision, 0);
    EXPECT_EQ(header.getReadFailure().reason, ESMFReadFailure::kHeaderBody);
}

TEST(ChunkFraming, FewerThanEightBytesFailWithNothingConsumed) {
    CMidiHeader header;
    std::uint32_t consumed = 99;
    EXPECT_FALSE(header.setData(kHeader.data(), 7, consumed));
    EXPECT_EQ(consumed, 0u);
}

TEST(ChunkFraming, BodyMayEndExactlyAtTheEnd) {
    const Bytes bytes = smftest::chunk("MTrk", {0x00, 0xFF, 0x2F, 0x00});
    CMidiTrack track;
    std::uint32_t consumed = 0;
    EXPECT_TRUE(track.setData(bytes.data(), 12, consumed));
    EXPECT_EQ(consumed, 12u);
    // One byte short of the declared length: refused before the body is read.
    CMidiTrack cut;
    EXPECT_FALSE(cut.setData(bytes.data(), 11, consumed));
    EXPECT_EQ(consumed, 0u);
    EXPECT_EQ(cut.getReadFailure().reason, ESMFReadFailure::kChunkLength);
}

TEST(ChunkFraming, FixedIdRefusesAnotherAndKeepsItsOwn) {
    CMidiTrack track;
    std::uint32_t consumed = 99;
    EXPECT_FALSE(track.setData(kHeader.data(), 14, consumed));
    EXPECT_EQ(consumed, 0u);
    EXPECT_EQ(track.getChunkId(), CMidiTrack::kChunkId);
}

TEST(ChunkFraming, OpenIdTakesOnWhateverItReads) {
    const Bytes bytes = smftest::chunk("XYZW", {});
    CMidiTrack track(0);
    std::uint32_t consumed = 0;
    EXPECT_TRUE(track.setData(bytes.data(), 8, consumed));
    EXPECT_EQ(track.getChunkId(), 0x58595A57u);

    // The id is taken on before the length is checked.
    const Bytes cut = smftest::chunk("ABCD", {1, 2, 3});
    CMidiTrack open(0);
    EXPECT_FALSE(open.setData(cut.data(), 10, consumed));
    EXPECT_EQ(open.getChunkId(), 0x41424344u);
}

} // namespace
