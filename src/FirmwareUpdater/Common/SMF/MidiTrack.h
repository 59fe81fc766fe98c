// A track chunk ("MTrk"): an ordered list of events with absolute ticks, which the track
// owns. Its events and their data live in its arena, which grows in large blocks and is
// released at once: reading a file allocates nothing per event. Reading is in
// MidiTrackReader.cpp, writing in MidiTrackWriter.cpp.
#pragma once

#include "Chunk.h"
#include "MidiEvent.h"

#include <cstdint>
#include <memory_resource>
#include <vector>

class CMidiTrack : public CChunk {
  public:
    static constexpr std::uint32_t kChunkId = 0x4D54726B; // "MTrk"
    static constexpr std::uint8_t kEventHeaderSysEx1 = 0xF0;
    static constexpr std::uint8_t kEventHeaderSysEx2 = 0xF7;
    static constexpr std::uint8_t kEventHeaderMeta = 0xFF;
    /// What the per-event readers return for an event that does not parse.
    static constexpr std::uint32_t kReadFailure = 0xFFFFFFFF;
    /// Meta and SysEx events longer than this are refused on reading.
    static constexpr std::uint32_t kMaxReadLength = 0xFFFF;

    using EventList = std::vector<CMidiEvent*>;

    CMidiTrack() : CChunk(kChunkId) {}
    explicit CMidiTrack(std::uint32_t inChunkId) : CChunk(inChunkId) {}
    ~CMidiTrack() override;

    /// The exact body length writeChunkBody produces for the current list.
    std::uint32_t getChunkDataSize() const override;
    /// Destroys every event and releases the arena.
    void resetChunkData() override;
    /// Reads a track body and appends its events in file order with absolute ticks. The
    /// end-of-track event is not kept; bytes after it are not read. On failure the events
    /// read before the failing one stay in the list.
    bool readChunkBody(const std::uint8_t* inBuff, std::uint32_t inSize) override;
    /// Writes the body: every event in list order with its delta time, every channel message
    /// with its status, every SysEx in the 0xF0 form, then 00 FF 2F 00. Refuses (false,
    /// nothing written, outWritten 0) a list that has no encoding: see isWritable().
    bool writeChunkBody(std::uint8_t* ioBuff, std::uint32_t& outWritten) const override;

    /// Appends inEvent, taking ownership of it (made with new, not null): the track keeps a
    /// copy in its arena and deletes inEvent at once. No sorting, no tick check.
    virtual void AddEvent(CMidiEvent* inEvent);

    /// True if every event can be encoded: kinds 1 to 3 only, ticks that never decrease
    /// along the list, deltas and lengths of at most 0x0FFFFFFF. Lists read from a file
    /// always are; a list built by hand may need sortEvents first.
    bool isWritable() const;

    /// The event at inIndex, or null if inIndex is not below the number of events.
    CMidiEvent* GetEvent(std::uint32_t inIndex);
    const CMidiEvent* GetEvent(std::uint32_t inIndex) const;
    std::uint32_t GetEventCount() const { return static_cast<std::uint32_t>(mEvents.size()); }

    /// Removes the event at inIndex (which must exist) and hands the caller a copy made with
    /// new, which may outlive the track.
    CMidiEvent* pullEvent(std::uint32_t inIndex);
    /// Stable sort by compareMidiEvent: by tick, rehearsal marks first within a tick.
    void sortEvents();
    /// True for a meta event of type 0x2F. inEvent must not be null.
    bool isEndOfTrackEvent(const CMidiEvent* inEvent) const;

  private:
    // The per-event readers. Each reads one event from pBuff, of which inSize bytes are
    // left in the body, creates it in *ppEvt in the arena (readChunkBody appends it to the
    // list or deletes it) and returns the bytes it occupies, or kReadFailure (then no event
    // is created, and outFailure, if given, says why, with the offset counted from pBuff).
    // They never look past inSize bytes.
    std::uint32_t NewEventData(CMidiEvent** ppEvt, const std::uint8_t* pBuff, std::uint32_t inSize,
                               std::uint32_t inCurTick, std::uint8_t inRunningStatus,
                               SSMFReadFailure* outFailure = nullptr);
    std::uint32_t NewShortEventData(CMidiEvent** ppEvt, std::uint32_t inTick,
                                    const std::uint8_t* pBuff, std::uint32_t inSize,
                                    std::uint8_t inRunningStatus,
                                    SSMFReadFailure* outFailure = nullptr);
    std::uint32_t NewMetaEventData(CMidiEvent** ppEvt, std::uint32_t inTick,
                                   const std::uint8_t* pBuff, std::uint32_t inSize,
                                   SSMFReadFailure* outFailure = nullptr);
    std::uint32_t NewSysEx1Data(CMidiEvent** ppEvt, std::uint32_t inTick, const std::uint8_t* pBuff,
                                std::uint32_t inSize, SSMFReadFailure* outFailure = nullptr);
    std::uint32_t NewSysEx2Data(CMidiEvent** ppEvt, std::uint32_t inTick, const std::uint8_t* pBuff,
                                std::uint32_t inSize, SSMFReadFailure* outFailure = nullptr);

    std::uint32_t newSysExData(CMidiEvent** ppEvt, std::uint32_t inTick, const std::uint8_t* pBuff,
                               std::uint32_t inSize, bool inKeepHeader,
                               SSMFReadFailure* outFailure);
    /// A new event of kind 0 in the arena, and its end.
    CMidiEvent* newEvent();
    void deleteEvent(CMidiEvent* inEvent);

    std::pmr::monotonic_buffer_resource mArena;
    EventList mEvents;
};

/// True when a must come before b: the lower tick first, and within one tick a rehearsal
/// mark (sequencer-specific 43 7B 02) before any event that is not one. Neither may be null.
bool compareMidiEvent(const CMidiEvent* a, const CMidiEvent* b);
