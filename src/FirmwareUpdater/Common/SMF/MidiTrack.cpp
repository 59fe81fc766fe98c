#include "MidiTrack.h"

#include "Common/DebugUtil.h"

#include <algorithm>
#include <memory>

CMidiTrack::~CMidiTrack() {
    reset(0);
}

void CMidiTrack::resetChunkData() {
    for (CMidiEvent* event : mEvents) {
        deleteEvent(event);
    }
    mEvents.clear();
    mArena.release();
}

CMidiEvent* CMidiTrack::newEvent() {
    return std::pmr::polymorphic_allocator<>(&mArena).new_object<CMidiEvent>(&mArena);
}

void CMidiTrack::deleteEvent(CMidiEvent* inEvent) {
    std::pmr::polymorphic_allocator<>(&mArena).delete_object(inEvent);
}

namespace {
void copyEvent(const CMidiEvent& inFrom, CMidiEvent& ioTo) {
    ioTo.setType(static_cast<std::uint8_t>(inFrom.mEventType));
    ioTo.mTick = inFrom.mTick;
    const CMidiPayload& from = inFrom.payload();
    ioTo.payload().setLeadByte(from.getLeadByte());
    ioTo.payload().setParam(from.getParam(), from.getDataSize());
}
} // namespace

void CMidiTrack::AddEvent(CMidiEvent* inEvent) {
    DTA_ASSERT(NULL != inEvent);
    const std::unique_ptr<CMidiEvent> handedOver(inEvent);
    CMidiEvent* kept = newEvent();
    copyEvent(*inEvent, *kept);
    mEvents.push_back(kept);
}

CMidiEvent* CMidiTrack::GetEvent(std::uint32_t inIndex) {
    return inIndex < mEvents.size() ? mEvents[inIndex] : nullptr;
}

const CMidiEvent* CMidiTrack::GetEvent(std::uint32_t inIndex) const {
    return inIndex < mEvents.size() ? mEvents[inIndex] : nullptr;
}

CMidiEvent* CMidiTrack::pullEvent(std::uint32_t inIndex) {
    CMidiEvent* e = GetEvent(inIndex);
    DTA_ASSERT(NULL != e);
    auto pulled = std::make_unique<CMidiEvent>();
    copyEvent(*e, *pulled);
    mEvents.erase(mEvents.begin() + inIndex);
    deleteEvent(e);
    return pulled.release();
}

void CMidiTrack::sortEvents() {
    std::stable_sort(mEvents.begin(), mEvents.end(), compareMidiEvent);
}

bool CMidiTrack::isEndOfTrackEvent(const CMidiEvent* inEvent) const {
    DTA_ASSERT(NULL != inEvent);
    return inEvent->mEventType == CMidiEvent::kEventTypeMeta &&
           inEvent->getDataType() == CMidiMetaEvent::kTypeEndOfTrack;
}

namespace {
bool isRehearsalMark(const CMidiEvent* inEvent) {
    const CMidiMetaEvent* meta = inEvent->getMetaData();
    return meta != nullptr && meta->getType() == CMidiMetaEvent::kTypeSequencerSpecific &&
           meta->isRehearsalMarkEventData();
}
} // namespace

bool compareMidiEvent(const CMidiEvent* a, const CMidiEvent* b) {
    DTA_ASSERT(NULL != a);
    DTA_ASSERT(NULL != b);
    // A rehearsal mark goes first within its tick, but not before another rehearsal mark:
    // "each before the other" would break the strict weak order that stable_sort needs.
    if (a->mTick == b->mTick && isRehearsalMark(a)) {
        return !isRehearsalMark(b);
    }
    return a->mTick < b->mTick;
}
