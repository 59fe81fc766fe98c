// Why and where a Standard MIDI File was refused. The codec fills this in on the same path
// that decides to refuse, so telling the reason never changes what is accepted.
#pragma once

#include <cstdint>
#include <string>

enum class ESMFReadFailure : std::uint8_t {
    kNone,
    kNullBuffer,
    kFileTooShort,      // fewer than 14 bytes
    kNotMidiFile,       // the first chunk is not "MThd"
    kHeaderLength,      // the header chunk's length is not 6
    kUnsupportedFormat, // format 2 or above
    kNoTracks,          // the header declares 0 tracks
    kTrackTagLength,    // a value of the file size or more follows an "MTrk" tag
    kTooFewTrackTags,   // more tracks declared than "MTrk" tags found
    kDivision,          // division 0, or an SMPTE format of -128
    kChunkTooShort,     // fewer than 8 bytes left where a chunk should begin
    kChunkId,           // a chunk other than "MTrk" where a track should be
    kChunkLength,       // a chunk's length runs past the end of the file
    kHeaderBody,        // a header body shorter than 6 bytes
    kVariableVal,       // a variable-length quantity of more than 4 bytes
    kVariableValCut,    // a variable-length quantity cut off by the end of the track
    kTickOverflow,      // an absolute tick beyond 0xFFFFFFFF
    kMissingEvent,      // a delta time with no event after it
    kNoRunningStatus,   // data bytes with no channel status to run on
    kShortDataCut,      // a channel message cut off by the end of the track
    kMetaTypeCut,       // a meta event with no type byte
    kLengthTooLarge,    // a meta or SysEx length above 65535
    kLengthPastEnd,     // a meta or SysEx length that runs past the end of the track
};

struct SSMFReadFailure {
    ESMFReadFailure reason = ESMFReadFailure::kNone;
    std::uint32_t offset = 0; // of the offending byte, from the start of the reader's input
    std::int32_t track = -1;  // index of the track being read, or -1
};

/// A short English description of a reason, for messages to people.
const char* describeSMFReadFailure(ESMFReadFailure inReason);

/// The whole account for people: "refused at byte N (track T): description".
std::string formatSMFReadFailure(const SSMFReadFailure& inFailure);
