#include "Common/SMF/MidiEvent.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

namespace {

using smftest::Bytes;

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
