#include "AlsaInputDecoder.h"

#include <new>

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;

} // namespace

CAlsaInputDecoder::CAlsaInputDecoder() {
    if (snd_midi_event_new(256, &mParser) < 0) {
        throw std::bad_alloc();
    }
    // Every message with its status byte: the receiver's parser expects no running status.
    snd_midi_event_no_status(mParser, 1);
}

CAlsaInputDecoder::~CAlsaInputDecoder() {
    snd_midi_event_free(mParser);
}

std::vector<std::uint8_t> CAlsaInputDecoder::decode(const snd_seq_event_t& inEvent) {
    std::vector<std::uint8_t> bytes;
    if (inEvent.type == SND_SEQ_EVENT_SYSEX) {
        const auto* data = static_cast<const std::uint8_t*>(inEvent.data.ext.ptr);
        bytes.assign(data, data + inEvent.data.ext.len);
        if (mOverflowed) {
            const std::pair<int, int> source{inEvent.source.client, inEvent.source.port};
            if (!bytes.empty() && bytes.front() == kSysExStart) {
                mResynchronised.insert(source);
            } else if (mResynchronised.count(source) == 0) {
                bytes.clear(); // the rest of a message whose beginning was lost
            }
        }
        return bytes;
    }
    std::uint8_t buffer[16];
    snd_midi_event_reset_decode(mParser);
    const long length = snd_midi_event_decode(mParser, buffer, sizeof buffer, &inEvent);
    if (length > 0) {
        bytes.assign(buffer, buffer + length);
    }
    return bytes;
}

bool CAlsaInputDecoder::overflowed() {
    mOverflowed = true;
    mResynchronised.clear();
    return !std::exchange(mOverflowReported, true);
}
