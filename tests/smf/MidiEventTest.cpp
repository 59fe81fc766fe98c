#include "Common/SMF/MidiEvent.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

namespace {

using smftest::Bytes;

TEST(MetaEvent, ChordAndRehearsalMarkLookAtTheFirstThreeBytes) {
    struct Case {
        Bytes data;
        bool chord;
        bool rehearsal;
    };
    const Case cases[] = {{{0x43, 0x7B, 0x01, 0x05, 0x00}, true, false},
                          {{0x43, 0x7B, 0x02}, false, true},
                          {{0x43, 0x7B}, false, false},
                          {{}, false, false}};
    for (const Case& c : cases) {
        std::unique_ptr<CMidiEvent> e(
            smftest::makeEvent(CMidiEvent::kEventTypeMeta, 0, 0x7F, c.data));
        EXPECT_EQ(e->getMetaData()->isChordEventData(), c.chord) << smftest::describe(*e);
        EXPECT_EQ(e->getMetaData()->isRehearsalMarkEventData(), c.rehearsal)
            << smftest::describe(*e);
    }
}

TEST(Payload, DataIsACopyThatCanBeCopiedOut) {
    Bytes source = {1, 2, 3};
    CMidiEvent e;
    EXPECT_EQ(e.getDataSize(), 0u) << "kind 0 has no data size";
    e.setType(CMidiEvent::kEventTypeSysEx);
    e.setDataParam(source.data(), 3);
    source[0] = 9;
    Bytes out(3);
    e.getDataParam(out.data());
    EXPECT_EQ(out, (Bytes{1, 2, 3}));
    e.setDataParam(source.data(), 0);
    EXPECT_EQ(e.getDataSize(), 0u);
}

TEST(EventDeathTest, CallerErrorsAreFatal) {
    CMidiEvent none;
    EXPECT_DEATH(none.resetEvent(), "kEventTypeNone != mEventType");
    std::unique_ptr<CMidiEvent> e(smftest::makeEvent(CMidiEvent::kEventTypeShort, 0, 0x90, {1, 2}));
    EXPECT_DEATH(e->getShortData()->setChannel(16), "inChannel < 0x10");
    EXPECT_DEATH(e->setDataParam(nullptr, 1), "0 != inParam");
}

} // namespace
