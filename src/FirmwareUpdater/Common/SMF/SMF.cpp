#include "SMF.h"

#include "Common/DebugUtil.h"
#include "SMFUtil.h"
#include "TrackTagScan.h"

#include <cstring>
#include <memory>

namespace {
constexpr std::uint32_t kHeaderFileSize = 14; // "MThd", length 6, three 16-bit fields
constexpr std::uint32_t kFramingSize = 8;
} // namespace

CSMF::~CSMF() {
    trackClear();
    mHeader.reset(0);
}

bool CSMF::setData(const std::uint8_t* inBuff, std::uint32_t inSize, std::uint32_t& ioCount) {
    // A second read replaces the first: tracks appended to old ones would not match the header.
    reset();
    mReadFailure = {};
    if (inBuff == nullptr) {
        return refuse(ESMFReadFailure::kNullBuffer, 0);
    }
    if (inSize < kHeaderFileSize) {
        return refuse(ESMFReadFailure::kFileTooShort, inSize);
    }
    if (SMFUtil::readBE32(inBuff) != CMidiHeader::kChunkId) {
        return refuse(ESMFReadFailure::kNotMidiFile, 0);
    }
    if (SMFUtil::readBE32(inBuff + 4) != CMidiHeader::kBodySize) {
        return refuse(ESMFReadFailure::kHeaderLength, 4);
    }
    if (SMFUtil::readBE16(inBuff + 8) > 2) {
        return refuse(ESMFReadFailure::kUnsupportedFormat, 8);
    }
    const std::uint16_t numTracks = SMFUtil::readBE16(inBuff + 10);
    if (!checkTrackTags(inBuff, inSize, numTracks)) {
        return false;
    }
    const std::uint16_t division = SMFUtil::readBE16(inBuff + 12);
    // 0 is no time base; 0x80 as the high byte would be SMPTE format -128, which does not exist.
    if (division == 0 || (division & 0xFF00) == 0x8000) {
        return refuse(ESMFReadFailure::kDivision, 12);
    }
    std::uint32_t headerSize = 0;
    if (!mHeader.setData(inBuff, inSize, headerSize)) {
        return refuse(mHeader.getReadFailure().reason, mHeader.getReadFailure().offset);
    }
    if (mHeader.mFormat >= 2) {
        return refuse(ESMFReadFailure::kUnsupportedFormat, 8);
    }
    ioCount += headerSize;
    const std::uint32_t tracksSize =
        setTrackData(mHeader.mNumTracks, inBuff + headerSize, inSize - headerSize);
    if (tracksSize == kReadFailure) {
        const SSMFReadFailure failure = mReadFailure;
        reset();
        mReadFailure = failure;
        mReadFailure.offset += headerSize;
        return false;
    }
    ioCount += tracksSize;
    return true;
}

// Refuses a file that declares more tracks than it has "MTrk" tags, or in which any tag is
// followed by a value of the file size or more. Every position is looked at, so tags inside
// event data count too.
bool CSMF::checkTrackTags(const std::uint8_t* inBuff, std::uint32_t inSize,
                          std::uint16_t inNumTracks) {
    std::uint32_t tags = 0;
    if (inSize >= kFramingSize + 11) {
        // A tag and its value take 8 bytes, so the last position looked at is inSize - 8.
        const std::uint32_t last = inSize - kFramingSize;
        for (std::uint32_t p = findTrackTag(inBuff, 11, last); p <= last;
             p = findTrackTag(inBuff, p + 1, last)) {
            if (SMFUtil::readBE32(inBuff + p + 4) >= inSize) {
                return refuse(ESMFReadFailure::kTrackTagLength, p + 4);
            }
            ++tags;
        }
    }
    if (inNumTracks == 0) {
        return refuse(ESMFReadFailure::kNoTracks, 10);
    }
    if (inNumTracks > tags) {
        return refuse(ESMFReadFailure::kTooFewTrackTags, 10);
    }
    return true;
}

std::uint32_t CSMF::setTrackData(std::uint16_t inNumTracks, const std::uint8_t* inBuff,
                                 std::uint32_t inSize) {
    if (inNumTracks == 0) {
        return 0;
    }
    mTracks.reserve(mTracks.size() + inNumTracks);
    std::uint32_t total = 0;
    for (std::uint16_t read = 0; read < inNumTracks; ++read) {
        auto track = std::make_unique<CMidiTrack>();
        std::uint32_t consumed = 0;
        if (!track->setData(inBuff + total, inSize - total, consumed)) {
            mReadFailure = track->getReadFailure();
            mReadFailure.offset += total;
            mReadFailure.track = read;
            return kReadFailure;
        }
        total += consumed;
        mTracks.push_back(track.release());
    }
    return total;
}

bool CSMF::getData(std::uint8_t* ioBuff, std::uint32_t& ioCount) const {
    DTA_ASSERT(0 != ioBuff);
    for (const CMidiTrack* track : mTracks) {
        if (!track->isWritable()) {
            return false;
        }
    }
    std::uint32_t headerSize = 0;
    mHeader.getData(ioBuff, headerSize);
    ioCount += headerSize;
    ioCount += getTrackData(ioBuff + headerSize);
    return true;
}

std::uint32_t CSMF::getTrackData(std::uint8_t* ioBuff) const {
    std::uint32_t total = 0;
    for (const CMidiTrack* track : mTracks) {
        std::uint32_t written = 0;
        const bool writable = track->getData(ioBuff + total, written);
        DTA_ASSERT(writable);
        total += written;
    }
    return total;
}

std::uint32_t CSMF::GetFileSize() const {
    std::uint32_t size = kFramingSize + mHeader.getChunkDataSize();
    for (const CMidiTrack* track : mTracks) {
        size += kFramingSize + track->getChunkDataSize();
    }
    return size;
}

void CSMF::reset() {
    trackClear();
    mHeader.reset(0);
}

void CSMF::fix() {
    for (CMidiTrack* track : mTracks) {
        track->sortEvents();
    }
}

CMidiTrack* CSMF::addTrack() {
    auto track = std::make_unique<CMidiTrack>();
    mTracks.push_back(track.get());
    ++mHeader.mNumTracks;
    return track.release();
}

void CSMF::trackClear() {
    for (CMidiTrack* track : mTracks) {
        delete track; // its destructor resets it with id 0, destroying its events
    }
    mTracks.clear();
}

std::string CSMF::getSequenceName() const {
    for (const CMidiTrack* track : mTracks) {
        for (std::uint32_t i = 0; i < track->GetEventCount(); ++i) {
            const CMidiMetaEvent* meta = track->GetEvent(i)->getMetaData();
            if (meta != nullptr && meta->getType() == CMidiMetaEvent::kTypeSequenceName) {
                const char* name = reinterpret_cast<const char*>(meta->getParam());
                // The name ends at its first zero byte, if it has one.
                return name == nullptr ? std::string()
                                       : std::string(name, strnlen(name, meta->getDataSize()));
            }
        }
    }
    return {};
}

void CSMF::setSequenceName(std::uint32_t inTrack, const std::uint8_t* inName,
                           std::uint32_t inLength) {
    if (inTrack >= mTracks.size()) {
        return;
    }
    auto event = std::make_unique<CMidiEvent>();
    event->setType(CMidiEvent::kEventTypeMeta);
    event->setDataType(CMidiMetaEvent::kTypeSequenceName);
    event->setDataParam(inName, inLength);
    mTracks[inTrack]->AddEvent(event.get());
    event.release();
}

bool CSMF::refuse(ESMFReadFailure inReason, std::uint32_t inOffset) {
    reset();
    mReadFailure.reason = inReason;
    mReadFailure.offset = inOffset;
    return false;
}
