// Writing a track's events as a chunk body. The size computation and the writer run the
// same encoding walk over two sinks, so they agree byte for byte by construction.
#include "MidiTrack.h"

#include "Common/DebugUtil.h"
#include "SMFUtil.h"

#include <cstring>

namespace {

constexpr std::uint8_t kEndOfTrack[] = {0x00, CMidiTrack::kEventHeaderMeta, 0x2F, 0x00};

class CSizeSink {
  public:
    void putByte(std::uint8_t) { ++mCount; }
    void putVariableVal(std::uint32_t inValue) { mCount += SMFUtil::getVariableValSize(inValue); }
    void putBytes(const std::uint8_t*, std::uint32_t inCount) { mCount += inCount; }
    std::uint32_t count() const { return mCount; }

  private:
    std::uint32_t mCount = 0;
};

class CWriteSink {
  public:
    explicit CWriteSink(std::uint8_t* ioBuff) : mStart(ioBuff), mPosition(ioBuff) {}
    void putByte(std::uint8_t inByte) { *mPosition++ = inByte; }
    void putVariableVal(std::uint32_t inValue) {
        const std::uint32_t size = SMFUtil::getVariableValSize(inValue);
        SMFUtil::setVariableVal(mPosition, inValue, size);
        mPosition += size;
    }
    void putBytes(const std::uint8_t* inBytes, std::uint32_t inCount) {
        if (inCount > 0) {
            std::memcpy(mPosition, inBytes, inCount);
            mPosition += inCount;
        }
    }
    std::uint32_t count() const { return static_cast<std::uint32_t>(mPosition - mStart); }

  private:
    std::uint8_t* mStart;
    std::uint8_t* mPosition;
};

// The bytes a SysEx event is written with after 0xF0 and its length: its data without the
// leading 0xF0 that an event of the 0xF0 form holds.
struct SSysExBody {
    const std::uint8_t* bytes;
    std::uint32_t length;
};

SSysExBody sysExBody(const CMidiPayload& inPayload) {
    const std::uint8_t* bytes = inPayload.getParam();
    const std::uint32_t size = inPayload.getDataSize();
    if (size > 0 && bytes[0] == CMidiTrack::kEventHeaderSysEx1) {
        return {bytes + 1, size - 1};
    }
    return {bytes, size};
}

template <class TSink> void encodeEvents(const CMidiTrack::EventList& inEvents, TSink& ioSink) {
    std::uint32_t previousTick = 0;
    for (const CMidiEvent* event : inEvents) {
        ioSink.putVariableVal(event->mTick - previousTick);
        previousTick = event->mTick;
        const CMidiPayload& payload = event->payload();
        switch (event->mEventType) {
        case CMidiEvent::kEventTypeMeta:
            ioSink.putByte(CMidiTrack::kEventHeaderMeta);
            ioSink.putByte(payload.getLeadByte());
            ioSink.putVariableVal(payload.getDataSize());
            ioSink.putBytes(payload.getParam(), payload.getDataSize());
            break;
        case CMidiEvent::kEventTypeSysEx: {
            const SSysExBody body = sysExBody(payload);
            ioSink.putByte(CMidiTrack::kEventHeaderSysEx1);
            ioSink.putVariableVal(body.length);
            ioSink.putBytes(body.bytes, body.length);
            break;
        }
        case CMidiEvent::kEventTypeShort:
            // No running status: every channel message carries its status byte.
            if (event->getShortData()->getType() < CMidiShortEvent::kTypeMax) {
                ioSink.putByte(payload.getLeadByte());
            }
            ioSink.putBytes(payload.getParam(), payload.getDataSize());
            break;
        default:
            break; // no encoding; isWritable() refuses such a list
        }
    }
    ioSink.putBytes(kEndOfTrack, sizeof kEndOfTrack);
}

// The length field that encodeEvents writes for an event.
std::uint32_t encodedLength(const CMidiEvent& inEvent) {
    return inEvent.mEventType == CMidiEvent::kEventTypeSysEx ? sysExBody(inEvent.payload()).length
                                                             : inEvent.getDataSize();
}

} // namespace

std::uint32_t CMidiTrack::getChunkDataSize() const {
    CSizeSink sink;
    encodeEvents(mEvents, sink);
    return sink.count();
}

bool CMidiTrack::writeChunkBody(std::uint8_t* ioBuff, std::uint32_t& outWritten) const {
    DTA_ASSERT(0 != ioBuff);
    outWritten = 0;
    if (!isWritable()) {
        return false;
    }
    CWriteSink sink(ioBuff);
    encodeEvents(mEvents, sink);
    outWritten = sink.count();
    return true;
}

bool CMidiTrack::isWritable() const {
    std::uint32_t previousTick = 0;
    for (const CMidiEvent* event : mEvents) {
        if (event->mEventType == CMidiEvent::kEventTypeNone ||
            event->mEventType > CMidiEvent::kEventTypeMeta || event->mTick < previousTick ||
            event->mTick - previousTick > SMFUtil::kVariableValMax ||
            encodedLength(*event) > SMFUtil::kVariableValMax) {
            return false;
        }
        previousTick = event->mTick;
    }
    return true;
}
