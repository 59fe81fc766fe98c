#include "Commands.h"
#include "ImageFile.h"

#include <cstdio>

namespace {

// Lines are built in one buffer and written in large blocks: a dump of a big file is
// millions of lines.
class CDumpWriter {
  public:
    ~CDumpWriter() { flush(); }
    void text(const char* inText) { mBuffer += inText; }
    void number(std::uint64_t inValue) { mBuffer += std::to_string(inValue); }
    void hexByte(std::uint8_t inByte) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        mBuffer += ' ';
        mBuffer += kDigits[inByte >> 4];
        mBuffer += kDigits[inByte & 0x0F];
    }
    void endLine() {
        mBuffer += '\n';
        if (mBuffer.size() >= kFlushSize) {
            flush();
        }
    }
    void flush() {
        std::fwrite(mBuffer.data(), 1, mBuffer.size(), stdout);
        mBuffer.clear();
    }

  private:
    static constexpr std::size_t kFlushSize = 1 << 16;
    std::string mBuffer;
};

void dumpEvent(CDumpWriter& ioOut, std::size_t inTrack, const CMidiEvent& inEvent) {
    ioOut.number(inTrack);
    ioOut.text(" ");
    ioOut.number(inEvent.mTick);
    const CMidiPayload& payload = inEvent.payload();
    switch (inEvent.mEventType) {
    case CMidiEvent::kEventTypeShort:
        ioOut.text(" short");
        ioOut.hexByte(payload.getLeadByte());
        break;
    case CMidiEvent::kEventTypeMeta:
        ioOut.text(" meta");
        ioOut.hexByte(payload.getLeadByte());
        break;
    default:
        ioOut.text(" sysex");
        break;
    }
    for (std::uint32_t i = 0; i < payload.getDataSize(); ++i) {
        ioOut.hexByte(payload.getParam()[i]);
    }
    ioOut.endLine();
}

} // namespace

int runDump(const std::string& inPath) {
    CSMF smf;
    std::string error;
    if (!loadImageFile(inPath, smf, error)) {
        return reportFailure(inPath, error);
    }
    CDumpWriter out;
    out.text("header format=");
    out.number(smf.mHeader.mFormat);
    out.text(" tracks=");
    out.number(smf.mHeader.mNumTracks);
    out.text(" division=");
    out.number(smf.mHeader.mDivision);
    out.endLine();
    for (std::size_t t = 0; t < smf.mTracks.size(); ++t) {
        const CMidiTrack& track = *smf.mTracks[t];
        for (std::uint32_t i = 0; i < track.GetEventCount(); ++i) {
            dumpEvent(out, t, *track.GetEvent(i));
        }
    }
    out.flush();
    return kExitOk; // whether it reached its destination, main tells
}
