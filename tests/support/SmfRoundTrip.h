// The codec's round trip as a property of any bytes: what the reader takes, its writer writes
// back, and that file reads back to the same events (SysEx of the 0xF7 form comes back in the
// 0xF0 form, nothing else changes) and writes again to the same bytes. What the reader
// refuses leaves no track behind. The SMF fuzzer checks it on every input, the round-trip
// test on generated files in other writers' styles.
#pragma once

#include "Common/SMF/SMF.h"

#include <cstring>
#include <string>
#include <vector>

namespace smfproperty {

// The data a rewritten event holds: SysEx without its leading 0xF0 gains one.
inline std::vector<std::uint8_t> rewrittenData(const CMidiEvent& inEvent) {
    const CMidiPayload& p = inEvent.payload();
    std::vector<std::uint8_t> data(p.getParam(), p.getParam() + p.getDataSize());
    if (inEvent.mEventType == CMidiEvent::kEventTypeSysEx && (data.empty() || data[0] != 0xF0)) {
        data.insert(data.begin(), 0xF0);
    }
    return data;
}

inline std::string sameEventsProblem(const CSMF& inRead, const CSMF& inReread) {
    if (inRead.mTracks.size() != inReread.mTracks.size()) {
        return "the rewritten file has another number of tracks";
    }
    for (std::size_t t = 0; t < inRead.mTracks.size(); ++t) {
        const CMidiTrack& a = *inRead.mTracks[t];
        const CMidiTrack& b = *inReread.mTracks[t];
        if (a.GetEventCount() != b.GetEventCount()) {
            return "track " + std::to_string(t) + " comes back with another number of events";
        }
        for (std::uint32_t i = 0; i < a.GetEventCount(); ++i) {
            const CMidiEvent& x = *a.GetEvent(i);
            const CMidiEvent& y = *b.GetEvent(i);
            const std::vector<std::uint8_t> expected = rewrittenData(x);
            if (x.mTick != y.mTick || x.mEventType != y.mEventType ||
                (x.mEventType != CMidiEvent::kEventTypeSysEx &&
                 x.payload().getLeadByte() != y.payload().getLeadByte()) ||
                expected.size() != y.getDataSize() ||
                (!expected.empty() &&
                 std::memcmp(expected.data(), y.payload().getParam(), expected.size()) != 0)) {
                return "track " + std::to_string(t) + " event " + std::to_string(i) +
                       " comes back changed";
            }
        }
    }
    return {};
}

inline bool write(const CSMF& inSmf, std::vector<std::uint8_t>& outBytes) {
    outBytes.assign(inSmf.GetFileSize(), 0);
    std::uint32_t written = 0;
    return inSmf.getData(outBytes.data(), written) && written == outBytes.size();
}

} // namespace smfproperty

/// "" when the round trip holds for inData (or the reader refuses it cleanly), else what broke.
inline std::string SmfRoundTripProblem(const std::uint8_t* inData, std::size_t inSize) {
    CSMF smf;
    std::uint32_t count = 0;
    if (!smf.setData(inData, static_cast<std::uint32_t>(inSize), count)) {
        return smf.mTracks.empty() ? "" : "a refused file left tracks behind";
    }
    std::vector<std::uint8_t> once;
    if (count > inSize || !smfproperty::write(smf, once)) {
        return "what was read cannot be written whole";
    }
    CSMF reread;
    count = 0;
    if (!reread.setData(once.data(), static_cast<std::uint32_t>(once.size()), count)) {
        // The one check that looks at the whole file: "MTrk" inside event data followed by
        // a value that the shorter rewritten file no longer exceeds.
        return reread.getReadFailure().reason == ESMFReadFailure::kTrackTagLength
                   ? ""
                   : "the rewritten file is refused";
    }
    if (count != once.size()) {
        return "the rewritten file is not read to its end";
    }
    if (std::string problem = smfproperty::sameEventsProblem(smf, reread); !problem.empty()) {
        return problem;
    }
    std::vector<std::uint8_t> twice;
    return smfproperty::write(reread, twice) && twice == once
               ? ""
               : "a second rewrite changes the bytes";
}
