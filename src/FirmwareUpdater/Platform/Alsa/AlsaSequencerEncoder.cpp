#include "AlsaSequencerEncoder.h"

#include <cerrno>
#include <new>
#include <utility>

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr std::uint8_t kFirstRealTime = 0xF8;

} // namespace

CAlsaSequencerEncoder::CAlsaSequencerEncoder() {
    if (snd_midi_event_new(16, &mParser) < 0) {
        throw std::bad_alloc();
    }
}

CAlsaSequencerEncoder::~CAlsaSequencerEncoder() {
    snd_midi_event_free(mParser);
}

int CAlsaSequencerEncoder::add(const std::uint8_t* inBytes, std::size_t inLength,
                               const Emit& inEmit) {
    for (std::size_t i = 0; i < inLength; ++i) {
        const std::uint8_t byte = inBytes[i];
        if (byte == kSysExStart || (mInSysEx && byte >= 0x80 && byte != kSysExEnd)) {
            // A status byte ends a SysEx message; real-time bytes inside one are kept in it.
            if (mInSysEx && byte < kFirstRealTime) {
                if (const int result = emitSysEx(inEmit)) {
                    return result;
                }
                mInSysEx = false;
            }
            if (byte == kSysExStart) {
                mInSysEx = true;
                mPartialMessage = false;
            }
        }
        if (mInSysEx) {
            mSysEx.push_back(byte);
            if (byte == kSysExEnd || mSysEx.size() == kMaxEventBytes) {
                if (const int result = emitSysEx(inEmit)) {
                    return result;
                }
                mInSysEx = byte != kSysExEnd;
            }
            continue;
        }
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        const int completed = snd_midi_event_encode_byte(mParser, byte, &event);
        if (completed < 0) {
            return completed;
        }
        mPartialMessage = completed == 0;
        if (completed == 1) {
            if (const int result = inEmit(event)) {
                return result;
            }
        }
    }
    return 0;
}

int CAlsaSequencerEncoder::finish(const Emit& inEmit) {
    const int result = emitSysEx(inEmit);
    mInSysEx = false;
    snd_midi_event_reset_encode(mParser);
    if (std::exchange(mPartialMessage, false) && result == 0) {
        return -EINVAL;
    }
    return result;
}

int CAlsaSequencerEncoder::emitSysEx(const Emit& inEmit) {
    if (mSysEx.empty()) {
        return 0;
    }
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_sysex(&event, mSysEx.size(), mSysEx.data());
    const int result = inEmit(event);
    mSysEx.clear();
    return result;
}
