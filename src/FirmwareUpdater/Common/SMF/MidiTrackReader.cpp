// Reading a track chunk's body into events. Every reader is told how many bytes are left
// and checks each length against them before it reads.
#include "MidiTrack.h"

#include "Common/DebugUtil.h"
#include "SMFUtil.h"

#include <limits>

namespace {

std::uint32_t fail(SSMFReadFailure* outFailure, ESMFReadFailure inReason, std::uint32_t inOffset) {
    if (outFailure != nullptr) {
        outFailure->reason = inReason;
        outFailure->offset = inOffset;
    }
    return CMidiTrack::kReadFailure;
}

// fetchVariableVal fails the same way for both; the bytes available tell them apart.
ESMFReadFailure variableValFailure(std::uint32_t inAvailable) {
    return inAvailable < 4 ? ESMFReadFailure::kVariableValCut : ESMFReadFailure::kVariableVal;
}

// inEvent, a new one, holding a copy of inSize bytes from inData, after inPrefix when given.
CMidiEvent* fillEvent(CMidiEvent* inEvent, std::uint32_t inKind, std::uint32_t inTick,
                      std::uint8_t inLeadByte, const std::uint8_t* inData, std::uint32_t inSize,
                      const std::uint8_t* inPrefix = nullptr) {
    inEvent->setType(static_cast<std::uint8_t>(inKind));
    inEvent->mTick = inTick;
    inEvent->payload().setLeadByte(inLeadByte);
    if (inPrefix != nullptr) {
        inEvent->payload().setParam(*inPrefix, inData, inSize);
    } else {
        inEvent->payload().setParam(inData, inSize);
    }
    return inEvent;
}

// Reads the length of a meta or SysEx event at inOffset and checks it against the bytes
// left. Returns the bytes of the length field, or kReadFailure.
std::uint32_t fetchLength(const std::uint8_t* pBuff, std::uint32_t inSize, std::uint32_t inOffset,
                          std::uint32_t& outLength, SSMFReadFailure* outFailure) {
    const std::uint32_t available = inSize - inOffset;
    const std::uint32_t n = SMFUtil::fetchVariableVal(pBuff + inOffset, available, outLength);
    if (n == SMFUtil::kVariableValFailure) {
        return fail(outFailure, variableValFailure(available), inOffset);
    }
    if (outLength > CMidiTrack::kMaxReadLength) {
        return fail(outFailure, ESMFReadFailure::kLengthTooLarge, inOffset);
    }
    if (outLength > available - n) {
        return fail(outFailure, ESMFReadFailure::kLengthPastEnd, inOffset);
    }
    return n;
}

} // namespace

bool CMidiTrack::readChunkBody(const std::uint8_t* inBuff, std::uint32_t inSize) {
    std::uint32_t position = 0;
    std::uint32_t currentTick = 0;
    std::uint8_t runningStatus = 0;
    // An event takes at least 2 bytes (a delta and one data byte under running status), so
    // the list never grows while reading; pages of the reserve that stay unused are never
    // touched.
    mEvents.reserve(mEvents.size() + inSize / 2);
    while (position < inSize) {
        CMidiEvent* event = nullptr;
        SSMFReadFailure failure;
        const std::uint32_t count = NewEventData(&event, inBuff + position, inSize - position,
                                                 currentTick, runningStatus, &failure);
        if (count == kReadFailure) {
            return refuse(failure.reason, position + failure.offset);
        }
        if (isEndOfTrackEvent(event)) {
            deleteEvent(event);
            return true;
        }
        mEvents.push_back(event);
        if (event->mEventType == CMidiEvent::kEventTypeShort) {
            runningStatus = event->payload().getLeadByte();
        }
        currentTick = event->mTick;
        position += count;
    }
    return true;
}

std::uint32_t CMidiTrack::NewEventData(CMidiEvent** ppEvt, const std::uint8_t* pBuff,
                                       std::uint32_t inSize, std::uint32_t inCurTick,
                                       std::uint8_t inRunningStatus, SSMFReadFailure* outFailure) {
    DTA_ASSERT(NULL != ppEvt);
    std::uint32_t delta = 0;
    const std::uint32_t n = SMFUtil::fetchVariableVal(pBuff, inSize, delta);
    if (n == SMFUtil::kVariableValFailure) {
        return fail(outFailure, variableValFailure(inSize), 0);
    }
    if (std::uint64_t{inCurTick} + delta > std::numeric_limits<std::uint32_t>::max()) {
        return fail(outFailure, ESMFReadFailure::kTickOverflow, 0);
    }
    if (n == inSize) {
        return fail(outFailure, ESMFReadFailure::kMissingEvent, n);
    }
    const std::uint32_t tick = inCurTick + delta;
    const std::uint8_t* event = pBuff + n;
    const std::uint32_t left = inSize - n;
    std::uint32_t count = kReadFailure;
    switch (*event) {
    case kEventHeaderSysEx1:
        count = NewSysEx1Data(ppEvt, tick, event, left, outFailure);
        break;
    case kEventHeaderSysEx2:
        count = NewSysEx2Data(ppEvt, tick, event, left, outFailure);
        break;
    case kEventHeaderMeta:
        count = NewMetaEventData(ppEvt, tick, event, left, outFailure);
        break;
    default:
        count = NewShortEventData(ppEvt, tick, event, left, inRunningStatus, outFailure);
        break;
    }
    if (count == kReadFailure) {
        if (outFailure != nullptr) {
            outFailure->offset += n;
        }
        return kReadFailure;
    }
    return n + count;
}

std::uint32_t CMidiTrack::NewShortEventData(CMidiEvent** ppEvt, std::uint32_t inTick,
                                            const std::uint8_t* pBuff, std::uint32_t inSize,
                                            std::uint8_t inRunningStatus,
                                            SSMFReadFailure* outFailure) {
    DTA_ASSERT(NULL != ppEvt);
    if (inSize == 0) {
        return fail(outFailure, ESMFReadFailure::kMissingEvent, 0);
    }
    std::uint8_t status = pBuff[0];
    std::uint8_t type = CMidiEvent::GetShortEventType(status);
    std::uint32_t statusBytes = 1;
    if (type == CMidiShortEvent::kTypeMax) {
        status = inRunningStatus;
        type = CMidiEvent::GetShortEventType(status);
        statusBytes = 0;
        if (type == CMidiShortEvent::kTypeMax) {
            return fail(outFailure, ESMFReadFailure::kNoRunningStatus, 0);
        }
    }
    const std::uint32_t dataBytes = CMidiShortEvent::shortMsgInfo[type].dataBytes;
    if (dataBytes > inSize - statusBytes) {
        return fail(outFailure, ESMFReadFailure::kShortDataCut, inSize);
    }
    *ppEvt = fillEvent(newEvent(), CMidiEvent::kEventTypeShort, inTick, status, pBuff + statusBytes,
                       dataBytes);
    return statusBytes + dataBytes;
}

std::uint32_t CMidiTrack::NewMetaEventData(CMidiEvent** ppEvt, std::uint32_t inTick,
                                           const std::uint8_t* pBuff, std::uint32_t inSize,
                                           SSMFReadFailure* outFailure) {
    DTA_ASSERT(NULL != ppEvt);
    if (inSize < 2) {
        return fail(outFailure, ESMFReadFailure::kMetaTypeCut, inSize);
    }
    std::uint32_t length = 0;
    const std::uint32_t n = fetchLength(pBuff, inSize, 2, length, outFailure);
    if (n == kReadFailure) {
        return n;
    }
    *ppEvt =
        fillEvent(newEvent(), CMidiEvent::kEventTypeMeta, inTick, pBuff[1], pBuff + 2 + n, length);
    return 2 + n + length;
}

std::uint32_t CMidiTrack::NewSysEx1Data(CMidiEvent** ppEvt, std::uint32_t inTick,
                                        const std::uint8_t* pBuff, std::uint32_t inSize,
                                        SSMFReadFailure* outFailure) {
    return newSysExData(ppEvt, inTick, pBuff, inSize, true, outFailure);
}

std::uint32_t CMidiTrack::NewSysEx2Data(CMidiEvent** ppEvt, std::uint32_t inTick,
                                        const std::uint8_t* pBuff, std::uint32_t inSize,
                                        SSMFReadFailure* outFailure) {
    return newSysExData(ppEvt, inTick, pBuff, inSize, false, outFailure);
}

std::uint32_t CMidiTrack::newSysExData(CMidiEvent** ppEvt, std::uint32_t inTick,
                                       const std::uint8_t* pBuff, std::uint32_t inSize,
                                       bool inKeepHeader, SSMFReadFailure* outFailure) {
    DTA_ASSERT(NULL != ppEvt);
    std::uint32_t length = 0;
    const std::uint32_t n = fetchLength(pBuff, inSize, 1, length, outFailure);
    if (n == kReadFailure) {
        return n;
    }
    // An event of the 0xF0 form holds the message as it is sent, 0xF0 first.
    *ppEvt = fillEvent(newEvent(), CMidiEvent::kEventTypeSysEx, inTick, 0, pBuff + 1 + n, length,
                       inKeepHeader ? pBuff : nullptr);
    return 1 + n + length;
}
