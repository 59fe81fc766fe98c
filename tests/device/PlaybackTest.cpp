// Playing a firmware image to the device: what is sent, in which order, with which progress.
#include "Common/DTAMIDIManager_Mac.h"
#include "DeviceFixture.h"
#include "FirmwareImage.h"
#include "Simulator/ExpectedTransfer.h"
#include "Simulator/SimulatedVYRDevice.h"
#include "SmfTestUtil.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
const SSimulatedDeviceOptions kSilent{.behaviour = {.heartbeatPeriod = {}}};

class Playback : public DeviceFixture {
  protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        mDevice = std::make_unique<CSimulatedVYRDevice>(mService, kSilent);
        mDevice->switchToUpdateMode();
        mService->waitUntilDelivered();
        mController->openVYRForUpdate();
    }
    void TearDown() override {
        mDevice.reset();
        DeviceFixture::TearDown();
    }

    bool play(const Bytes& inImage) {
        return mController->updateFirmware(
            inImage.data(), static_cast<std::uint32_t>(inImage.size()), recordProgress, &mProgress);
    }
    static bool recordProgress(int inPercent, void* inContext) {
        static_cast<std::vector<int>*>(inContext)->push_back(inPercent);
        return false; // a false result must not stop anything
    }
    static std::vector<SExpectedMessage> expectedOf(const Bytes& inImage) {
        std::string why;
        return expectedTransfer(inImage, why).value();
    }
    // inCount messages of inSize bytes, inTicksApart at 120 bpm and division 1000 (1 tick = 0.5
    // ms).
    static Bytes image(std::uint32_t inCount, std::uint32_t inTicksApart,
                       std::uint32_t inSize = 40) {
        SFirmwareImage spec;
        spec.division = 1000;
        spec.tempos = {{0, 500000}};
        for (std::uint32_t i = 0; i < inCount; ++i) {
            spec.messages.push_back({i * inTicksApart, makeFirmwareMessage(i, inSize, 3)});
        }
        return buildFirmwareImage(spec);
    }

    std::unique_ptr<CSimulatedVYRDevice> mDevice;
    std::vector<int> mProgress;
};

TEST_F(Playback, EveryMessageArrivesWholeInOrderAndNoneEarly) {
    const Bytes firmware = image(40, 10, 600); // 5 ms apart, 600 bytes: three packets each
    const MIDITimeStamp before = AudioGetCurrentHostTime();
    ASSERT_TRUE(play(firmware));
    const std::vector<SExpectedMessage> expected = expectedOf(firmware);
    const STransferReport report = mDevice->report(expected);
    EXPECT_TRUE(report.identical) << report.firstDifference;
    ASSERT_EQ(report.received, 40u);
    // On the test's clock every message leaves exactly at its time: not early, not late.
    const std::vector<SReceivedMessage> received = mDevice->received();
    for (std::size_t i = 0; i < received.size(); ++i) {
        EXPECT_EQ(received[i].hostTimeNs - before, MIDITimeStamp{expected[i].timeMs} * 1'000'000u)
            << "message " << i;
    }
}

TEST_F(Playback, SampleImageArrivesByteForByte) {
    const Bytes firmware = buildFirmwareImage(sampleFirmwareImage());
    // Timing is the benchmark's business: here only the bytes, so play it without tempo.
    CSMF smf;
    std::uint32_t count = 0;
    ASSERT_TRUE(smf.setData(firmware.data(), static_cast<std::uint32_t>(firmware.size()), count));
    while (smf.mTracks[0]->GetEventCount() > 0) {
        delete smf.mTracks[0]->pullEvent(0);
    }
    const Bytes untimed = toFileBytes(smf);
    ASSERT_TRUE(play(untimed));
    const STransferReport report = mDevice->report(expectedOf(firmware));
    EXPECT_TRUE(report.identical) << report.firstDifference;
    EXPECT_EQ(report.received, 320u);
    EXPECT_EQ(mProgress.back(), 100);
}

TEST_F(Playback, SendFailureAtTheThirdMessageStopsThere) {
    mService->failSendsFrom(3, kMIDIMessageSendErr);
    EXPECT_FALSE(play(image(8, 0)));
    EXPECT_EQ(mDevice->received().size(), 2u);
    EXPECT_EQ(mProgress, (std::vector<int>{13}));
    const CVYRController::STransferTally tally = CVYRController::lastTransfer();
    EXPECT_EQ(tally.messages, 2u);
    EXPECT_EQ(tally.bytes, 80u);
    EXPECT_EQ(tally.scheduled, 8u);
}

TEST_F(Playback, DeviceThatVanishesEndsPlayback) {
    mDevice.reset();
    mDevice = std::make_unique<CSimulatedVYRDevice>(
        mService,
        SSimulatedDeviceOptions{.behaviour = {.heartbeatPeriod = {}, .vanishAfterMessage = 4}});
    mDevice->switchToUpdateMode();
    mService->waitUntilDelivered();
    mController->openVYRForUpdate();
    EXPECT_FALSE(play(image(8, 0)));
    EXPECT_EQ(mDevice->received().size(), 4u);
    EXPECT_FALSE(mDevice->isPresent());
}

// A stall of 3 s before the fifth message (the process stopped and continued): the messages
// due meanwhile are not sent back to back; from the fifth on, every gap is the image's own.
// A wake-up a little late moves nothing.
TEST_F(Playback, AfterAStallTheRestKeepsItsGaps) {
    const Bytes firmware = image(10, 20); // 10 ms apart
    int waits = 0;
    mClock.onWait([&](Nanoseconds) {
        ++waits;
        mClock.advance(waits == 5 ? 3 * CManualClock::kSecond : 2'000'000); // 2 ms late otherwise
    });
    const MIDITimeStamp start = AudioGetCurrentHostTime();
    ASSERT_TRUE(play(firmware));
    const std::vector<SReceivedMessage> received = mDevice->received();
    ASSERT_EQ(received.size(), 10u);
    std::vector<double> sentMs;
    for (const SReceivedMessage& message : received) {
        sentMs.push_back(static_cast<double>(message.hostTimeNs - start) / 1e6);
    }
    EXPECT_EQ(sentMs, (std::vector<double>{2, 10, 20, 30, 3030, 3040, 3050, 3060, 3070, 3080}));
}

} // namespace
