#include "Common/SMF/MidiTrack.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

namespace {

TEST(EventDeathTest, CallerErrorsAreFatal) {
    CMidiEvent none;
    EXPECT_DEATH(none.resetEvent(), "kEventTypeNone != mEventType");
    std::unique_ptr<CMidiEvent> e(smftest::makeEvent(CMidiEvent::kEventTypeShort, 0, 0x90, {1, 2}));
    EXPECT_DEATH(e->getShortData()->setChannel(16), "inChannel < 0x10");
    EXPECT_DEATH(e->setDataParam(nullptr, 1), "0 != inParam");
    EXPECT_DEATH(e->getDataParam(nullptr), "0 != outParam");
    EXPECT_DEATH(CMidiTrack().pullEvent(0), "NULL != e");
}

} // namespace
