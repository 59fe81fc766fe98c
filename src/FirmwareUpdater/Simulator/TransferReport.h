// What a simulated device received, compared with what it should have: the count, the
// order and bytes, and how late each message came against its schedule.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SExpectedMessage {
    std::uint32_t timeMs; // from the start of playback
    std::vector<std::uint8_t> bytes;
};

struct SReceivedMessage {
    std::uint64_t hostTimeNs; // when it arrived
    std::vector<std::uint8_t> bytes;
};

/// Which arrival is taken as on time, for the lateness of the rest.
enum class ELatenessAnchor {
    kFirstMessage, // the sender plays the first message at once: an early send shows
    kBestKept,     // the first may come late (the sender opened its port then): the earliest
                   // against its schedule is on time, and nothing can be seen as early
};

struct STransferReport {
    std::size_t expected = 0;
    std::size_t received = 0;
    bool identical = false;          // same count, and every message's bytes in the same order
    std::string firstDifference;     // empty when identical; in English, for scripts
    std::string firstDifferenceTold; // the same in the user's language
    // Lateness in ms of every received message that has an expected counterpart, against
    // its schedule, from the anchor's arrival.
    bool earlyMeasured = true; // false with kBestKept
    double lateMinMs = 0;
    double lateMedianMs = 0;
    double lateP99Ms = 0;
    double lateMaxMs = 0;
    std::size_t earlyCount = 0; // more than 1 ms early (the whole-millisecond schedule allows 1)
};

STransferReport compareTransfer(const std::vector<SExpectedMessage>& inExpected,
                                const std::vector<SReceivedMessage>& inReceived,
                                ELatenessAnchor inAnchor = ELatenessAnchor::kFirstMessage);

/// The report as lines for people.
std::string describeTransfer(const STransferReport& inReport);
