#include "MidiTrack.h"

#include "Common/DebugUtil.h"

#include <algorithm>
#include <cstddef>

CMidiTrack::~CMidiTrack() {
    reset(0);
}

void CMidiTrack::resetChunkData() {
    resetChunkData(mEvents);
}

void CMidiTrack::resetChunkData(EventList& ioEvents) {
    for (CMidiEvent* event : ioEvents) {
        delete event; // releases its data, also for an event that was never typed
    }
    ioEvents.clear();
}

void CMidiTrack::AddEvent(CMidiEvent* inEvent) {
    DTA_ASSERT(NULL != inEvent);
    mEvents.push_back(inEvent);
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
    mEvents.erase(mEvents.begin() + inIndex);
    return e;
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
