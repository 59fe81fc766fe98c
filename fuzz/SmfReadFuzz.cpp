// Reads arbitrary bytes as a Standard MIDI File. What is accepted is written back with the
// codec's writer, and the writer's file must read back to the same events: the 0xF7 form
// of SysEx comes back in the 0xF0 form, and nothing else changes.
#include "Common/SMF/SMF.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void check(bool inCondition) {
    if (!inCondition) {
        std::abort();
    }
}

// The data a rewritten event holds: SysEx without its leading 0xF0 gains one.
std::vector<std::uint8_t> rewrittenData(const CMidiEvent& inEvent) {
    const CMidiPayload& p = inEvent.payload();
    std::vector<std::uint8_t> data(p.getParam(), p.getParam() + p.getDataSize());
    if (inEvent.mEventType == CMidiEvent::kEventTypeSysEx && (data.empty() || data[0] != 0xF0)) {
        data.insert(data.begin(), 0xF0);
    }
    return data;
}

void checkSameEvents(const CSMF& inRead, const CSMF& inReread) {
    check(inRead.mTracks.size() == inReread.mTracks.size());
    for (std::size_t t = 0; t < inRead.mTracks.size(); ++t) {
        const CMidiTrack& a = *inRead.mTracks[t];
        const CMidiTrack& b = *inReread.mTracks[t];
        check(a.GetEventCount() == b.GetEventCount());
        for (std::uint32_t i = 0; i < a.GetEventCount(); ++i) {
            const CMidiEvent& x = *a.GetEvent(i);
            const CMidiEvent& y = *b.GetEvent(i);
            check(x.mTick == y.mTick && x.mEventType == y.mEventType);
            check(x.mEventType == CMidiEvent::kEventTypeSysEx ||
                  x.payload().getLeadByte() == y.payload().getLeadByte());
            const std::vector<std::uint8_t> expected = rewrittenData(x);
            check(expected.size() == y.getDataSize() &&
                  (expected.empty() ||
                   std::memcmp(expected.data(), y.payload().getParam(), expected.size()) == 0));
        }
    }
}

std::vector<std::uint8_t> write(const CSMF& inSmf) {
    std::vector<std::uint8_t> bytes(inSmf.GetFileSize());
    std::uint32_t written = 0;
    check(inSmf.getData(bytes.data(), written));
    check(written == bytes.size());
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize) {
    CSMF smf;
    std::uint32_t count = 0;
    if (!smf.setData(inData, static_cast<std::uint32_t>(inSize), count)) {
        check(smf.mTracks.empty());
        return 0;
    }
    check(count <= inSize);
    const std::vector<std::uint8_t> once = write(smf);

    CSMF reread;
    count = 0;
    if (!reread.setData(once.data(), static_cast<std::uint32_t>(once.size()), count)) {
        // The one check that looks at the whole file: "MTrk" inside event data followed by
        // a value that the shorter rewritten file no longer exceeds.
        check(reread.getReadFailure().reason == ESMFReadFailure::kTrackTagLength);
        return 0;
    }
    check(count == once.size());
    checkSameEvents(smf, reread);
    check(write(reread) == once);
    return 0;
}
