// A whole Standard MIDI File in memory: the header chunk and the track chunks, which the
// container owns. Reading checks the file's bytes and refuses anything it cannot read
// whole; only formats 0 and 1 are accepted.
#pragma once

#include "MidiHeader.h"
#include "MidiTrack.h"

#include <cstdint>
#include <string>
#include <vector>

class CSMF {
  public:
    /// What setTrackData returns for a track chunk that does not read.
    static constexpr std::uint32_t kReadFailure = 0xFFFFFFFF;

    CSMF() = default;
    virtual ~CSMF();

    CSMF(const CSMF&) = delete;
    CSMF& operator=(const CSMF&) = delete;

    /// Reads a whole file from inBuff (inSize bytes available), replacing whatever the
    /// container held. On success adds the bytes of the header and of the declared tracks to
    /// ioCount (bytes after the last track are not read) and returns true. On failure the
    /// container is reset, getReadFailure() says why and where, and ioCount is meaningless.
    virtual bool setData(const std::uint8_t* inBuff, std::uint32_t inSize, std::uint32_t& ioCount);
    /// Writes the whole file into ioBuff, which holds at least GetFileSize() bytes; adds the
    /// bytes written to ioCount (pass 0). Returns false, having written nothing, if a track
    /// is not writable (CMidiTrack::isWritable).
    virtual bool getData(std::uint8_t* ioBuff, std::uint32_t& ioCount) const;
    /// Destroys every track and clears the header (its id too).
    virtual void reset();
    /// Sorts every track's events (CMidiTrack::sortEvents).
    virtual void fix();
    /// The bytes getData writes: the header chunk and every track chunk.
    virtual std::uint32_t GetFileSize() const;

    /// Reads inNumTracks consecutive track chunks and appends them. Returns the bytes they
    /// occupy (0 for no tracks), or kReadFailure; tracks read before a failing one stay.
    std::uint32_t setTrackData(std::uint16_t inNumTracks, const std::uint8_t* inBuff,
                               std::uint32_t inSize);
    /// Writes every track chunk back to back at ioBuff; returns the bytes written.
    /// Every track must be writable.
    std::uint32_t getTrackData(std::uint8_t* ioBuff) const;
    /// Appends a new empty track, counted in the header, and returns it; the container owns it.
    CMidiTrack* addTrack();
    /// Destroys every track; the header is left as it is.
    void trackClear();

    /// The data of the first track's first sequence-name event, up to its first zero byte;
    /// "" when no track has one.
    std::string getSequenceName() const;
    /// Appends a sequence-name event at tick 0 to the track at inTrack (nothing if there is
    /// no such track). inName must not be null.
    void setSequenceName(std::uint32_t inTrack, const std::uint8_t* inName, std::uint32_t inLength);

    /// Why and where the last setData failed; offsets count from the start of the file.
    const SSMFReadFailure& getReadFailure() const { return mReadFailure; }

    CMidiHeader mHeader;
    std::vector<CMidiTrack*> mTracks;

  private:
    bool refuse(ESMFReadFailure inReason, std::uint32_t inOffset);
    bool checkTrackTags(const std::uint8_t* inBuff, std::uint32_t inSize,
                        std::uint16_t inNumTracks);

    SSMFReadFailure mReadFailure;
};
