// Read, write, read again over generated files: the codec's writer must give back the
// events its reader holds, but for its documented differences (SysEx of the 0xF7 form
// comes back in the 0xF0 form; no running status; end of track at delta 0).
#include "Common/SMF/SMF.h"
#include "FirmwareImage.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using smftest::Bytes;
using smftest::operator+;
using smftest::vlq;
using Tracks = std::vector<std::vector<std::string>>;

// Encodes tracks as other writers do, with running status, the 0xF7 form and time after
// the last event, and records what the reader should hold before and after a rewrite.
struct SGeneratedFile {
    Bytes bytes;
    Tracks asRead;
    Tracks asRewritten;
};

class CFileGenerator {
  public:
    explicit CFileGenerator(std::uint32_t inSeed) : mRandom(inSeed) {}

    SGeneratedFile make() {
        SGeneratedFile file;
        const int tracks = pick(1, 4);
        std::vector<Bytes> bodies;
        for (int t = 0; t < tracks; ++t) {
            file.asRead.emplace_back();
            file.asRewritten.emplace_back();
            bodies.push_back(makeTrack(file.asRead.back(), file.asRewritten.back()));
        }
        file.bytes = smftest::smfFile(tracks > 1 ? 1 : static_cast<std::uint16_t>(pick(0, 1)),
                                      static_cast<std::uint16_t>(pick(1, 0x7FFF)), bodies);
        return file;
    }

  private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(mRandom); }
    Bytes data(int lo, int hi, int maxByte) {
        Bytes b(static_cast<std::size_t>(pick(lo, hi)));
        for (auto& x : b) {
            x = static_cast<std::uint8_t>(pick(0, maxByte));
        }
        return b;
    }
    std::uint32_t delta() {
        switch (pick(0, 9)) {
        case 0:
            return static_cast<std::uint32_t>(pick(0x4000, 0x200000));
        case 1:
            return static_cast<std::uint32_t>(pick(0x200000, 0x0FFFFFF));
        default:
            return static_cast<std::uint32_t>(pick(0, 200));
        }
    }

    Bytes makeTrack(std::vector<std::string>& ioRead, std::vector<std::string>& ioRewritten) {
        Bytes body;
        std::uint32_t tick = 0;
        std::uint8_t running = 0;
        const int events = pick(0, 60);
        for (int i = 0; i < events; ++i) {
            const std::uint32_t d = delta();
            tick += d;
            body = body + vlq(d);
            std::string line = std::to_string(tick);
            std::string rewritten;
            switch (pick(0, 5)) {
            case 0:
            case 1: { // channel message, with running status when it repeats
                const auto status = static_cast<std::uint8_t>(pick(0x80, 0xEF));
                const int count =
                    CMidiShortEvent::shortMsgInfo[CMidiEvent::GetShortEventType(status)].dataBytes;
                const Bytes payload = data(count, count, 0x7F);
                body = body + (status == running ? payload : Bytes{status} + payload);
                running = status;
                line += " short" + smftest::hex(&status, 1) + smftest::hex(payload.data(), count);
                break;
            }
            case 2: { // meta, listed or not, never end of track
                std::uint8_t type = static_cast<std::uint8_t>(pick(0, 0x7F));
                if (type == 0x2F) {
                    type = 0x51;
                }
                const Bytes payload = data(0, 300, 0xFF);
                body = body + Bytes{0xFF, type} + vlq(static_cast<std::uint32_t>(payload.size())) +
                       payload;
                line += " meta" + smftest::hex(&type, 1) +
                        smftest::hex(payload.data(), static_cast<std::uint32_t>(payload.size()));
                break;
            }
            case 3:
            case 4: { // SysEx, 0xF0 form
                const Bytes payload = data(0, 700, 0x7F) + Bytes{0xF7};
                body =
                    body + Bytes{0xF0} + vlq(static_cast<std::uint32_t>(payload.size())) + payload;
                const Bytes held = Bytes{0xF0} + payload;
                line +=
                    " sysex" + smftest::hex(held.data(), static_cast<std::uint32_t>(held.size()));
                break;
            }
            default: { // SysEx, 0xF7 form: comes back with an 0xF0 in front
                const Bytes payload = data(0, 100, 0xFF);
                body =
                    body + Bytes{0xF7} + vlq(static_cast<std::uint32_t>(payload.size())) + payload;
                const std::string held =
                    smftest::hex(payload.data(), static_cast<std::uint32_t>(payload.size()));
                rewritten =
                    line + " sysex" + (payload.empty() || payload[0] != 0xF0 ? " F0" : "") + held;
                line += " sysex" + held;
                break;
            }
            }
            ioRead.push_back(line);
            ioRewritten.push_back(rewritten.empty() ? line : rewritten);
        }
        if (pick(0, 1) == 1) { // some writers end with time after the last event
            body = body + vlq(static_cast<std::uint32_t>(pick(0, 500))) + Bytes{0xFF, 0x2F, 0x00};
        }
        return body;
    }

    std::mt19937 mRandom;
};

Tracks readBack(const Bytes& inFile, std::uint32_t* outConsumed = nullptr) {
    CSMF smf;
    std::uint32_t count = 0;
    EXPECT_TRUE(smf.setData(inFile.data(), static_cast<std::uint32_t>(inFile.size()), count))
        << describeSMFReadFailure(smf.getReadFailure().reason) << " at "
        << smf.getReadFailure().offset;
    if (outConsumed != nullptr) {
        *outConsumed = count;
    }
    return smftest::describe(smf);
}

Bytes rewrite(const Bytes& inFile) {
    CSMF smf;
    std::uint32_t count = 0;
    EXPECT_TRUE(smf.setData(inFile.data(), static_cast<std::uint32_t>(inFile.size()), count));
    const Bytes out = toFileBytes(smf);
    EXPECT_EQ(out.size(), smf.GetFileSize());
    return out;
}

TEST(RoundTrip, GeneratedFilesComeBackWithTheSameEvents) {
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const SGeneratedFile file = CFileGenerator(seed).make();
        std::uint32_t consumed = 0;
        ASSERT_EQ(readBack(file.bytes, &consumed), file.asRead);
        EXPECT_EQ(consumed, file.bytes.size());

        const Bytes once = rewrite(file.bytes);
        ASSERT_EQ(readBack(once), file.asRewritten);
        EXPECT_EQ(rewrite(once), once) << "a second rewrite changed the bytes";
    }
}

} // namespace
