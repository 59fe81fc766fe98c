#include "SMFReadFailure.h"

const char* describeSMFReadFailure(ESMFReadFailure inReason) {
    switch (inReason) {
    case ESMFReadFailure::kNone:
        return "no failure";
    case ESMFReadFailure::kNullBuffer:
        return "no data";
    case ESMFReadFailure::kFileTooShort:
        return "too short for a MIDI file header";
    case ESMFReadFailure::kNotMidiFile:
        return "not a Standard MIDI File (no \"MThd\" header)";
    case ESMFReadFailure::kHeaderLength:
        return "header chunk length is not 6";
    case ESMFReadFailure::kUnsupportedFormat:
        return "unsupported format (only 0 and 1 are read)";
    case ESMFReadFailure::kNoTracks:
        return "the header declares no tracks";
    case ESMFReadFailure::kTrackTagLength:
        return "an \"MTrk\" tag is followed by a length of the file size or more";
    case ESMFReadFailure::kTooFewTrackTags:
        return "the header declares more tracks than the file has \"MTrk\" tags";
    case ESMFReadFailure::kDivision:
        return "invalid division";
    case ESMFReadFailure::kChunkTooShort:
        return "file ends where a track chunk should begin";
    case ESMFReadFailure::kChunkId:
        return "expected a track chunk (\"MTrk\")";
    case ESMFReadFailure::kChunkLength:
        return "chunk length runs past the end of the file";
    case ESMFReadFailure::kHeaderBody:
        return "header chunk body is shorter than 6 bytes";
    case ESMFReadFailure::kVariableVal:
        return "variable-length quantity longer than 4 bytes";
    case ESMFReadFailure::kVariableValCut:
        return "variable-length quantity cut off by the end of the track";
    case ESMFReadFailure::kTickOverflow:
        return "absolute time exceeds 0xFFFFFFFF ticks";
    case ESMFReadFailure::kMissingEvent:
        return "delta time at the end of the track has no event";
    case ESMFReadFailure::kNoRunningStatus:
        return "data byte with no running status";
    case ESMFReadFailure::kShortDataCut:
        return "channel message cut off by the end of the track";
    case ESMFReadFailure::kMetaTypeCut:
        return "meta event without a type byte";
    case ESMFReadFailure::kLengthTooLarge:
        return "meta or SysEx length above 65535";
    case ESMFReadFailure::kLengthPastEnd:
        return "meta or SysEx length runs past the end of the track";
    }
    return "unknown failure";
}

std::string formatSMFReadFailure(const SSMFReadFailure& inFailure) {
    std::string text = "refused at byte " + std::to_string(inFailure.offset);
    if (inFailure.track >= 0) {
        text += " (track " + std::to_string(inFailure.track) + ")";
    }
    return text + ": " + describeSMFReadFailure(inFailure.reason);
}
