// Files written the way other writers do (running status, the 0xF7 form of SysEx, time after
// the last event) are read as written, and survive the codec's round trip.
#include "Common/SMF/SMF.h"
#include "SmfRoundTrip.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using smftest::Bytes;
using smftest::operator+;
using smftest::vlq;
using Tracks = std::vector<std::vector<std::string>>;

// Encodes tracks as other writers do, with running status, the 0xF7 form and time after
// the last event, and records what the reader should hold.
struct SGeneratedFile {
    Bytes bytes;
    Tracks asRead;
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
            bodies.push_back(makeTrack(file.asRead.back()));
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

    Bytes makeTrack(std::vector<std::string>& ioRead) {
        Bytes body;
        std::uint32_t tick = 0;
        std::uint8_t running = 0;
        const int events = pick(0, 60);
        for (int i = 0; i < events; ++i) {
            const std::uint32_t d = delta();
            tick += d;
            body = body + vlq(d);
            std::string line = std::to_string(tick);
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
            default: { // SysEx, 0xF7 form
                const Bytes payload = data(0, 100, 0xFF);
                body =
                    body + Bytes{0xF7} + vlq(static_cast<std::uint32_t>(payload.size())) + payload;
                line += " sysex" +
                        smftest::hex(payload.data(), static_cast<std::uint32_t>(payload.size()));
                break;
            }
            }
            ioRead.push_back(line);
        }
        if (pick(0, 1) == 1) { // some writers end with time after the last event
            body = body + vlq(static_cast<std::uint32_t>(pick(0, 500))) + Bytes{0xFF, 0x2F, 0x00};
        }
        return body;
    }

    std::mt19937 mRandom;
};

TEST(RoundTrip, GeneratedFilesAreReadAsWrittenAndSurviveARewrite) {
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const SGeneratedFile file = CFileGenerator(seed).make();
        CSMF smf;
        std::uint32_t consumed = 0;
        ASSERT_TRUE(
            smf.setData(file.bytes.data(), static_cast<std::uint32_t>(file.bytes.size()), consumed))
            << describeSMFReadFailure(smf.getReadFailure().reason) << " at "
            << smf.getReadFailure().offset;
        EXPECT_EQ(smftest::describe(smf), file.asRead);
        EXPECT_EQ(consumed, file.bytes.size());
        EXPECT_EQ(SmfRoundTripProblem(file.bytes.data(), file.bytes.size()), "");
    }
}

} // namespace
