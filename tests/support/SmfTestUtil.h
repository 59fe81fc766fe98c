// Helpers for codec tests: files built from bytes, and events described as text so a
// failing comparison shows what was read.
#pragma once

#include "Common/SMF/SMF.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace smftest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes be32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A variable-length quantity, encoded independently of the codec.
inline Bytes vlq(std::uint32_t v) {
    Bytes b{static_cast<std::uint8_t>(v & 0x7F)};
    while ((v >>= 7) != 0) {
        b.insert(b.begin(), static_cast<std::uint8_t>(0x80 | (v & 0x7F)));
    }
    return b;
}

inline Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

inline Bytes chunk(const std::string& id, const Bytes& body) {
    return text(id) + be32(static_cast<std::uint32_t>(body.size())) + body;
}

inline Bytes header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division) {
    return chunk("MThd",
                 {static_cast<std::uint8_t>(format >> 8), static_cast<std::uint8_t>(format),
                  static_cast<std::uint8_t>(tracks >> 8), static_cast<std::uint8_t>(tracks),
                  static_cast<std::uint8_t>(division >> 8), static_cast<std::uint8_t>(division)});
}

/// A whole file: the header declares as many tracks as bodies are given.
inline Bytes smfFile(std::uint16_t format, std::uint16_t division,
                     const std::vector<Bytes>& bodies) {
    Bytes file = header(format, static_cast<std::uint16_t>(bodies.size()), division);
    for (const Bytes& body : bodies) {
        file = file + chunk("MTrk", body);
    }
    return file;
}

inline std::string hex(const std::uint8_t* p, std::uint32_t n) {
    std::string s;
    char buf[4];
    for (std::uint32_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, " %02X", p[i]);
        s += buf;
    }
    return s;
}

/// "TICK short SS DD..", "TICK meta TT DD..", "TICK sysex DD..".
inline std::string describe(const CMidiEvent& e) {
    const CMidiPayload& p = e.payload();
    std::string s = std::to_string(e.mTick);
    const std::uint8_t lead = p.getLeadByte();
    switch (e.mEventType) {
    case CMidiEvent::kEventTypeShort:
        s += " short" + hex(&lead, 1);
        break;
    case CMidiEvent::kEventTypeMeta:
        s += " meta" + hex(&lead, 1);
        break;
    case CMidiEvent::kEventTypeSysEx:
        s += " sysex";
        break;
    default:
        s += " none";
        break;
    }
    return s + hex(p.getParam(), p.getDataSize());
}

inline std::vector<std::string> describe(const CMidiTrack& t) {
    std::vector<std::string> lines;
    for (std::uint32_t i = 0; i < t.GetEventCount(); ++i) {
        lines.push_back(describe(*t.GetEvent(i)));
    }
    return lines;
}

inline std::vector<std::vector<std::string>> describe(const CSMF& smf) {
    std::vector<std::vector<std::string>> tracks;
    for (const CMidiTrack* t : smf.mTracks) {
        tracks.push_back(describe(*t));
    }
    return tracks;
}

/// A new event of the given kind; lead is the status or meta type byte.
inline CMidiEvent* makeEvent(std::uint32_t kind, std::uint32_t tick, std::uint8_t lead,
                             const Bytes& data) {
    auto* e = new CMidiEvent;
    e->setType(static_cast<std::uint8_t>(kind));
    e->mTick = tick;
    e->payload().setLeadByte(lead);
    static const std::uint8_t kNone = 0; // an empty vector's data() may be null
    e->setDataParam(data.empty() ? &kNone : data.data(), static_cast<std::uint32_t>(data.size()));
    return e;
}

/// The body writeChunkBody produces, checked against getChunkDataSize.
inline Bytes writtenBody(const CMidiTrack& t) {
    Bytes body(t.getChunkDataSize() + 16, 0xEE);
    std::uint32_t written = 0;
    if (!t.writeChunkBody(body.data(), written)) {
        return {};
    }
    body.resize(written);
    return body;
}

} // namespace smftest
