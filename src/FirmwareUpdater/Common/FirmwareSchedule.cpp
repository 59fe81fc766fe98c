#include "Common/FirmwareSchedule.h"

#include "Common/Gettext.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

// Follows the bytes as the playback sends them, event after event: F0 opens a message, only
// data bytes continue it, F7 closes it and ends the event; a message split over events goes
// on in the next (F7-form) event.
class CMessageFraming {
  public:
    /// Null when inBytes can follow what came before; else why not, with outAt the index of
    /// the offending byte.
    const char* follow(const std::uint8_t* inBytes, std::uint32_t inLength, std::uint32_t& outAt) {
        for (outAt = 0; outAt < inLength; ++outAt) {
            const std::uint8_t byte = inBytes[outAt];
            if (outAt > 0 && inBytes[outAt - 1] == 0xF7) {
                return _("bytes after the F7 that closes the message");
            }
            if (byte == 0xF0 && mOpen) {
                return _("a message begins before the one before it is closed with F7");
            }
            if (byte == 0xF0) {
                mOpen = true;
            } else if (!mOpen) {
                return _("a byte outside any message: it neither begins one with F0 nor "
                         "continues an open one");
            } else if (byte == 0xF7) {
                mOpen = false;
            } else if (byte >= 0x80) {
                return _("a status byte inside a message (only bytes below 0x80 go between F0 and "
                         "F7)");
            }
        }
        return nullptr;
    }
    bool open() const { return mOpen; }

  private:
    bool mOpen = false;
};

// Where a SysEx event stands, put in words only when the image is refused.
struct SPlace {
    std::size_t index = 0; // among the image's SysEx events
    std::size_t track = 0;
    std::uint32_t tick = 0;

    std::string describe() const {
        return formatted(_("SysEx message %zu (track %zu, tick %u)"), index, track, tick);
    }
};

} // namespace

bool CFirmwareSchedule::build(const CSMF& inSmf) {
    clear();
    if (inSmf.mTracks.empty() || !buildTempoMap(*inSmf.mTracks.front()) ||
        !checkMessageFraming(inSmf)) {
        return false;
    }
    // Ticks per quarter note, all 16 bits: an SMPTE division is not interpreted.
    mDivision = static_cast<double>(inSmf.mHeader.mDivision);
    for (const CMidiTrack* track : inSmf.mTracks) {
        for (std::uint32_t i = 0; i < track->GetEventCount(); ++i) {
            const CMidiEvent* event = track->GetEvent(i);
            const CMidiSysExEvent* sysEx = event->getSysExData();
            if (sysEx == nullptr) {
                continue;
            }
            if (mBytes.size() + sysEx->getDataSize() > std::numeric_limits<std::uint32_t>::max()) {
                return refuse(_("the SysEx messages add up to 4 GiB or more"));
            }
            const auto offset = static_cast<std::uint32_t>(mBytes.size());
            mBytes.insert(mBytes.end(), sysEx->getParam(),
                          sysEx->getParam() + sysEx->getDataSize());
            mMessages.push_back({timeOfTick(event->mTick), offset, sysEx->getDataSize()});
        }
    }
    if (mMessages.empty()) {
        return refuse(_("holds no SysEx message: there is no firmware in it"));
    }
    return true;
}

// Sent unchanged, a message without its F7, or with a status byte inside, merges with the
// next or breaks: the device would write what the image never meant.
bool CFirmwareSchedule::checkMessageFraming(const CSMF& inSmf) {
    CMessageFraming framing;
    SPlace unclosed; // the message that began the open one
    std::size_t index = 0;
    for (std::size_t t = 0; t < inSmf.mTracks.size(); ++t) {
        const CMidiTrack& track = *inSmf.mTracks[t];
        for (std::uint32_t i = 0; i < track.GetEventCount(); ++i) {
            const CMidiEvent* event = track.GetEvent(i);
            const CMidiSysExEvent* sysEx = event->getSysExData();
            if (sysEx == nullptr) {
                continue;
            }
            const SPlace place{index++, t, event->mTick};
            if (sysEx->getDataSize() == 0) {
                return refuse(place.describe() + ": " + _("an empty SysEx event"));
            }
            const bool wasOpen = framing.open();
            std::uint32_t at = 0;
            if (const char* problem = framing.follow(sysEx->getParam(), sysEx->getDataSize(), at)) {
                return refuse(formatted(_("%s, its byte %u (0x%02X): %s"), place.describe().c_str(),
                                        at, static_cast<unsigned>(sysEx->getParam()[at]), problem));
            }
            if (!wasOpen && framing.open()) {
                unclosed = place;
            }
        }
    }
    if (framing.open()) {
        return refuse(unclosed.describe() + ": " +
                      _("the message it begins is never closed with F7"));
    }
    return true;
}

bool CFirmwareSchedule::refuse(std::string inFailure) {
    clear();
    mFailure = std::move(inFailure);
    return false;
}

bool CFirmwareSchedule::buildTempoMap(const CMidiTrack& inTrack) {
    for (std::uint32_t i = 0; i < inTrack.GetEventCount(); ++i) {
        const CMidiEvent* event = inTrack.GetEvent(i);
        const CMidiMetaEvent* meta = event->getMetaData();
        if (meta == nullptr || meta->getType() != CMidiMetaEvent::kTypeSetTempo) {
            continue;
        }
        const std::uint8_t* d = meta->getParam();
        const std::uint32_t value = meta->getDataSize() < 3 ? 0 : (d[0] << 16) | (d[1] << 8) | d[2];
        if (value == 0) {
            return refuse(formatted(meta->getDataSize() < 3
                                        ? _("Set Tempo event at tick %u of track 0 has fewer "
                                            "than 3 data bytes")
                                        : _("Set Tempo event at tick %u of track 0 has the "
                                            "value 0"),
                                    event->mTick));
        }
        mTempoMap.push_back({event->mTick, 60000000u / value});
    }
    return true;
}

std::uint32_t CFirmwareSchedule::timeOfTick(std::uint32_t inTick) const {
    std::uint32_t total = 0;
    std::uint32_t segmentEnd = inTick;
    for (auto entry = mTempoMap.rbegin(); entry != mTempoMap.rend(); ++entry) {
        if (entry->tick >= inTick) {
            continue;
        }
        double x = 60000.0 / entry->beatsPerMinute;
        x = x / mDivision;
        x = x * static_cast<double>(segmentEnd - entry->tick);
        x = x + 0.5;
        total += static_cast<std::uint32_t>(static_cast<std::uint64_t>(x));
        segmentEnd = entry->tick;
    }
    return total;
}

std::uint32_t CFirmwareSchedule::durationMs() const {
    std::uint32_t duration = 0;
    for (const SMessage& message : mMessages) {
        duration = std::max(duration, message.timeMs);
    }
    return duration;
}

int CFirmwareSchedule::progressBefore(std::size_t inIndex, std::size_t inCount) {
    return static_cast<int>(static_cast<double>(inIndex) * 100.0 / static_cast<double>(inCount) +
                            0.5);
}

void CFirmwareSchedule::clear() {
    mTempoMap.clear();
    mMessages.clear();
    mBytes.clear();
    mFailure.clear();
}

std::string CFirmwareSchedule::buildFromImage(const std::uint8_t* inData, std::uint32_t inSize) {
    CSMF image;
    std::uint32_t consumed = 0;
    // An empty vector's data() may be null, which the codec takes for a caller's mistake.
    static const std::uint8_t kNoData = 0;
    if (!image.setData(inSize == 0 ? &kNoData : inData, inSize, consumed)) {
        clear();
        return formatSMFReadFailure(image.getReadFailure());
    }
    return build(image) ? std::string() : mFailure;
}
