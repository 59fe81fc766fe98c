// When each firmware message is sent: the tempo map of track 0, every SysEx event's time in
// milliseconds from the start of playback, and a copy of its bytes, in collection order
// (track by track, event order within a track; never sorted by time). The playback and
// vyr-fwtool's schedule command both use this, so they cannot disagree.
#pragma once

#include "Common/SMF/SMF.h"

#include <cstdint>
#include <string>
#include <vector>

struct STempoEntry {
    std::uint32_t tick;           // of the Set Tempo event
    std::uint32_t beatsPerMinute; // 60000000 / tempo value, truncated
};

class CFirmwareSchedule {
  public:
    /// Reads and schedules a firmware image in one go. Returns "" when it can be played, or
    /// what is wrong: the codec's reason with its byte offset, or build()'s.
    std::string buildFromImage(const std::uint8_t* inData, std::uint32_t inSize);

    /// Builds the schedule of a parsed image. Returns false, leaving the schedule empty and
    /// failure() saying why, when it must not be played: a Set Tempo event of track 0 with
    /// fewer than 3 data bytes or the value 0 (no sound time can be given to any message);
    /// SysEx events that, in the order they are sent, do not make whole messages F0, data
    /// bytes, F7 (a device would take merged or broken messages); or no SysEx event at all
    /// (playing it would report success having sent nothing).
    bool build(const CSMF& inSmf);

    /// The time in milliseconds of an event at inTick: each tempo governs from its tick to
    /// the next tempo's (or to inTick), each segment rounded half up by itself; ticks before
    /// the first tempo take no time.
    std::uint32_t timeOfTick(std::uint32_t inTick) const;

    std::size_t size() const { return mMessages.size(); }
    std::uint32_t timeOf(std::size_t inIndex) const { return mMessages[inIndex].timeMs; }
    const std::uint8_t* bytesOf(std::size_t inIndex) const {
        return mBytes.data() + mMessages[inIndex].offset;
    }
    std::uint32_t lengthOf(std::size_t inIndex) const { return mMessages[inIndex].length; }
    std::uint64_t totalBytes() const { return mBytes.size(); }
    /// The latest message's time: how long the playback takes (collection order is not time
    /// order, so not the last message's).
    std::uint32_t durationMs() const;
    const std::vector<STempoEntry>& tempoMap() const { return mTempoMap; }
    const std::string& failure() const { return mFailure; }

    /// The progress shown before message inIndex of inCount is sent: inIndex * 100 / inCount,
    /// rounded half up.
    static int progressBefore(std::size_t inIndex, std::size_t inCount);

  private:
    struct SMessage {
        std::uint32_t timeMs;
        std::uint32_t offset; // into mBytes
        std::uint32_t length;
    };

    bool buildTempoMap(const CMidiTrack& inTrack);
    /// False, with failure() saying where, when the messages do not make whole SysEx messages.
    bool checkMessageFraming(const CSMF& inSmf);
    /// Empties the schedule, with inFailure as the reason; false.
    bool refuse(std::string inFailure);
    void clear();

    double mDivision = 1;
    std::vector<STempoEntry> mTempoMap;
    // All message bytes in one block, so playback touches no allocator between sends.
    std::vector<SMessage> mMessages;
    std::vector<std::uint8_t> mBytes;
    std::string mFailure;
};
