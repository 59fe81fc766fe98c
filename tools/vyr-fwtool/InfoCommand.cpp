#include "Commands.h"
#include "Common/FirmwareSchedule.h"
#include "ImageFile.h"
#include "Platform/Utf8.h"

#include <cstdint>
#include <cstdio>

namespace {

struct STrackCounts {
    std::uint32_t shortEvents = 0;
    std::uint32_t metaEvents = 0;
    std::uint32_t sysExEvents = 0;
    std::uint64_t sysExBytes = 0;
};

STrackCounts countEvents(const CMidiTrack& inTrack) {
    STrackCounts counts;
    for (std::uint32_t i = 0; i < inTrack.GetEventCount(); ++i) {
        const CMidiEvent* event = inTrack.GetEvent(i);
        switch (event->mEventType) {
        case CMidiEvent::kEventTypeShort:
            ++counts.shortEvents;
            break;
        case CMidiEvent::kEventTypeMeta:
            ++counts.metaEvents;
            break;
        case CMidiEvent::kEventTypeSysEx:
            ++counts.sysExEvents;
            counts.sysExBytes += event->getDataSize();
            break;
        default:
            break;
        }
    }
    return counts;
}

void printDivision(std::uint16_t inDivision) {
    if ((inDivision & 0x8000) == 0) {
        std::printf("division    %u ticks per quarter note\n", inDivision);
        return;
    }
    // SMPTE: the high byte is minus the frame rate, the low byte the ticks per frame.
    const int framesPerSecond = -static_cast<int>(static_cast<std::int8_t>(inDivision >> 8));
    std::printf("division    SMPTE %d frames per second, %u ticks per frame\n", framesPerSecond,
                inDivision & 0xFFu);
}

} // namespace

int runInfo(const std::string& inPath) {
    CSMF smf;
    std::string error;
    if (!loadImageFile(inPath, smf, error)) {
        return reportFailure(inPath, error);
    }
    std::printf("file        %s\n", PrintableText(inPath).c_str());
    std::printf("format      %u\n", smf.mHeader.mFormat);
    std::printf("tracks      %u\n", smf.mHeader.mNumTracks);
    printDivision(smf.mHeader.mDivision);
    const std::string name = smf.getSequenceName();
    if (!name.empty()) {
        std::printf("name        %s\n", PrintableText(name).c_str());
    }
    std::printf("\n%5s %9s %9s %9s %9s %12s\n", "track", "events", "channel", "meta", "sysex",
                "sysex bytes");
    STrackCounts total;
    for (std::size_t t = 0; t < smf.mTracks.size(); ++t) {
        const CMidiTrack& track = *smf.mTracks[t];
        const STrackCounts counts = countEvents(track);
        std::printf("%5zu %9u %9u %9u %9u %12llu\n", t, track.GetEventCount(), counts.shortEvents,
                    counts.metaEvents, counts.sysExEvents,
                    static_cast<unsigned long long>(counts.sysExBytes));
        total.shortEvents += counts.shortEvents;
        total.metaEvents += counts.metaEvents;
        total.sysExEvents += counts.sysExEvents;
        total.sysExBytes += counts.sysExBytes;
    }
    std::printf("%5s %9u %9u %9u %9u %12llu\n", "all",
                total.shortEvents + total.metaEvents + total.sysExEvents, total.shortEvents,
                total.metaEvents, total.sysExEvents,
                static_cast<unsigned long long>(total.sysExBytes));
    // The updater's verdict, from the same check.
    CFirmwareSchedule schedule;
    if (!schedule.build(smf)) {
        std::printf("\nfirmware    refused: %s\n", schedule.failure().c_str());
        return reportFailure(inPath, "refused: " + schedule.failure());
    }
    std::printf("\nfirmware    playable: %zu messages, %llu bytes, %u ms\n", schedule.size(),
                static_cast<unsigned long long>(schedule.totalBytes()), schedule.durationMs());
    return kExitOk;
}
