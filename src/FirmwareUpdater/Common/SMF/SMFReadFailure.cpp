#include "SMFReadFailure.h"

#include "Common/Gettext.h"

const char* describeSMFReadFailure(ESMFReadFailure inReason) {
    switch (inReason) {
    case ESMFReadFailure::kNone:
        return _("no failure");
    case ESMFReadFailure::kNullBuffer:
        return _("no data");
    case ESMFReadFailure::kFileTooShort:
        return _("too short for a MIDI file header");
    case ESMFReadFailure::kNotMidiFile:
        return _("not a Standard MIDI File (no \"MThd\" header)");
    case ESMFReadFailure::kHeaderLength:
        return _("header chunk length is not 6");
    case ESMFReadFailure::kUnsupportedFormat:
        return _("unsupported format (only 0 and 1 are read)");
    case ESMFReadFailure::kNoTracks:
        return _("the header declares no tracks");
    case ESMFReadFailure::kTrackTagLength:
        return _("an \"MTrk\" tag is followed by a length of the file size or more");
    case ESMFReadFailure::kTooFewTrackTags:
        return _("the header declares more tracks than the file has \"MTrk\" tags");
    case ESMFReadFailure::kDivision:
        return _("invalid division");
    case ESMFReadFailure::kChunkTooShort:
        return _("file ends where a track chunk should begin");
    case ESMFReadFailure::kChunkId:
        return _("expected a track chunk (\"MTrk\")");
    case ESMFReadFailure::kChunkLength:
        return _("chunk length runs past the end of the file");
    case ESMFReadFailure::kHeaderBody:
        return _("header chunk body is shorter than 6 bytes");
    case ESMFReadFailure::kVariableVal:
        return _("variable-length quantity longer than 4 bytes");
    case ESMFReadFailure::kVariableValCut:
        return _("variable-length quantity cut off by the end of the track");
    case ESMFReadFailure::kTickOverflow:
        return _("absolute time exceeds 0xFFFFFFFF ticks");
    case ESMFReadFailure::kMissingEvent:
        return _("delta time at the end of the track has no event");
    case ESMFReadFailure::kNoRunningStatus:
        return _("data byte with no running status");
    case ESMFReadFailure::kShortDataCut:
        return _("channel message cut off by the end of the track");
    case ESMFReadFailure::kMetaTypeCut:
        return _("meta event without a type byte");
    case ESMFReadFailure::kLengthTooLarge:
        return _("meta or SysEx length above 65535");
    case ESMFReadFailure::kLengthPastEnd:
        return _("meta or SysEx length runs past the end of the track");
    }
    return _("unknown failure");
}

std::string formatSMFReadFailure(const SSMFReadFailure& inFailure) {
    const char* reason = describeSMFReadFailure(inFailure.reason);
    return inFailure.track >= 0 ? formatted(_("refused at byte %u (track %d): %s"),
                                            inFailure.offset, inFailure.track, reason)
                                : formatted(_("refused at byte %u: %s"), inFailure.offset, reason);
}
