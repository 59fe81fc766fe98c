// Bytes to sequencer events and back: what a software client receives from us, and what
// reaches the transport from the sequencer, also after the kernel lost our input queue.
#include "Platform/Alsa/AlsaInputDecoder.h"
#include "Platform/Alsa/AlsaSequencerEncoder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <numeric>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes sysEx(std::size_t inLength, std::uint8_t inSeed = 0) {
    Bytes bytes(inLength);
    for (std::size_t i = 0; i < inLength; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7 + inSeed) & 0x7F);
    }
    bytes.front() = 0xF0;
    bytes.back() = 0xF7;
    return bytes;
}

// Each event as the receiver would decode it.
struct SEvents {
    std::vector<Bytes> events;
    CAlsaInputDecoder decoder;
    CAlsaSequencerEncoder::Emit emit() {
        return [this](snd_seq_event_t& ioEvent) {
            events.push_back(decoder.decode(ioEvent));
            return 0;
        };
    }
    Bytes joined() const {
        return std::accumulate(events.begin(), events.end(), Bytes{}, [](Bytes a, const Bytes& b) {
            a.insert(a.end(), b.begin(), b.end());
            return a;
        });
    }
};

TEST(AlsaEncoding, EveryByteArrivesInEventsOfAtMost256Bytes) {
    const Bytes noteOn = {0x90, 0x3C, 0x40};
    const struct {
        const char* name;
        std::vector<Bytes> packets; // one add() each
        std::vector<std::size_t> sizes;
    } cases[] = {
        {"600-byte SysEx", {sysEx(600)}, {256, 256, 88}},
        {"exactly 256", {sysEx(256)}, {256}},
        {"64 KiB SysEx", {sysEx(65536)}, std::vector<std::size_t>(256, 256)},
        {"SysEx across two packets", {{0xF0, 0x01, 0x02}, {0x03, 0xF7}}, {5}},
        {"note, clock inside SysEx, SysEx", {noteOn, {0xF0, 0x01, 0xF8, 0x02, 0xF7}}, {3, 5}},
        {"a status byte ends an unfinished SysEx", {{0xF0, 0x01, 0x90, 0x3C, 0x40}}, {2, 3}},
    };
    for (const auto& c : cases) {
        SEvents received;
        CAlsaSequencerEncoder encoder;
        Bytes sent;
        for (const Bytes& packet : c.packets) {
            ASSERT_EQ(encoder.add(packet.data(), packet.size(), received.emit()), 0) << c.name;
            sent.insert(sent.end(), packet.begin(), packet.end());
        }
        ASSERT_EQ(encoder.finish(received.emit()), 0) << c.name;
        std::vector<std::size_t> sizes;
        for (const Bytes& event : received.events) {
            sizes.push_back(event.size());
        }
        EXPECT_EQ(sizes, c.sizes) << c.name;
        EXPECT_EQ(received.joined(), sent) << c.name;
    }
}

TEST(AlsaEncoding, NothingIsDroppedSilently) {
    SEvents received;
    CAlsaSequencerEncoder encoder;
    const Bytes cut = {0x90, 0x3C};
    ASSERT_EQ(encoder.add(cut.data(), cut.size(), received.emit()), 0);
    EXPECT_EQ(encoder.finish(received.emit()), -EINVAL) << "an unfinished note is an error";

    // A refused event ends the send with the refusal.
    int calls = 0;
    const Bytes message = sysEx(600);
    EXPECT_EQ(encoder.add(message.data(), message.size(),
                          [&](snd_seq_event_t&) { return ++calls == 2 ? -EAGAIN : 0; }),
              -EAGAIN);
    EXPECT_EQ(calls, 2);
}

snd_seq_event_t sysExEvent(const Bytes& inBytes, int inSourceClient) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_sysex(&event, inBytes.size(), const_cast<std::uint8_t*>(inBytes.data()));
    event.source.client = static_cast<unsigned char>(inSourceClient);
    return event;
}

TEST(AlsaDecoding, AfterAnOverflowTheCutMessageIsDroppedUntilItsSourceStartsAnew) {
    CAlsaInputDecoder decoder;
    const Bytes start = {0xF0, 0x43, 0x7D};
    const Bytes rest = {0x60, 0x44, 0xF7};
    snd_seq_event_t note;
    snd_seq_ev_clear(&note);
    snd_seq_ev_set_noteon(&note, 2, 0x3C, 0x40);
    EXPECT_EQ(decoder.decode(note), (Bytes{0x92, 0x3C, 0x40}));
    EXPECT_EQ(decoder.decode(sysExEvent(rest, 20)), rest) << "no overflow: passed as it came";

    EXPECT_TRUE(decoder.overflowed());
    EXPECT_FALSE(decoder.overflowed()) << "said once";
    EXPECT_EQ(decoder.decode(sysExEvent(rest, 20)), Bytes{});
    EXPECT_EQ(decoder.decode(note), (Bytes{0x92, 0x3C, 0x40})) << "other messages pass";
    EXPECT_EQ(decoder.decode(sysExEvent(start, 20)), start);
    EXPECT_EQ(decoder.decode(sysExEvent(rest, 20)), rest) << "source 20 began anew";
    EXPECT_EQ(decoder.decode(sysExEvent(rest, 24)), Bytes{}) << "source 24 did not";
}

} // namespace
