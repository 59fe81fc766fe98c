#include "Common/FirmwareSchedule.h"

#include <limits>

bool CFirmwareSchedule::build(const CSMF& inSmf) {
    clear();
    if (inSmf.mTracks.empty() || !buildTempoMap(*inSmf.mTracks.front())) {
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
                clear();
                mFailure = "the SysEx messages add up to 4 GiB or more";
                return false;
            }
            const auto offset = static_cast<std::uint32_t>(mBytes.size());
            mBytes.insert(mBytes.end(), sysEx->getParam(),
                          sysEx->getParam() + sysEx->getDataSize());
            mMessages.push_back({timeOfTick(event->mTick), offset, sysEx->getDataSize()});
        }
    }
    return true;
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
            clear();
            mFailure = "Set Tempo event at tick " + std::to_string(event->mTick) +
                       " of track 0 has " +
                       (meta->getDataSize() < 3 ? "fewer than 3 data bytes" : "the value 0");
            return false;
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
    if (!build(image)) {
        return mFailure;
    }
    if (mMessages.empty()) {
        return "holds no SysEx message: there is no firmware in it";
    }
    return {};
}
