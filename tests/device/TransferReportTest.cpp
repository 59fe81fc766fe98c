// What the simulated device reports of a transfer: differences and lateness.
#include "Simulator/TransferReport.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

SReceivedMessage arrival(double inMs, Bytes inBytes = {0xF0, 0xF7}) {
    return {static_cast<std::uint64_t>(inMs * 1e6) + 5'000'000'000u, std::move(inBytes)};
}

TEST(TransferReport, LatenessAgainstTheScheduleFromTheFirstArrival) {
    std::vector<SExpectedMessage> expected;
    std::vector<SReceivedMessage> received;
    // Scheduled 10 ms apart from 100 ms on; arriving 0.2 ms late, except one 3 ms late and
    // one 1.5 ms early.
    for (int i = 0; i < 100; ++i) {
        expected.push_back({static_cast<std::uint32_t>(100 + 10 * i), {0xF0, 0xF7}});
        const double late = i == 0 ? 0 : i == 50 ? 3.0 : i == 60 ? -1.5 : 0.2;
        received.push_back(arrival(10.0 * i + late));
    }
    const STransferReport report = compareTransfer(expected, received);
    EXPECT_TRUE(report.identical);
    EXPECT_NEAR(report.lateMinMs, -1.5, 1e-6);
    EXPECT_NEAR(report.lateMedianMs, 0.2, 1e-6);
    EXPECT_NEAR(report.lateP99Ms, 0.2, 1e-6);
    EXPECT_NEAR(report.lateMaxMs, 3.0, 1e-6);
    EXPECT_EQ(report.earlyCount, 1u);

    // A first message that came late makes no other early against the best-kept one.
    received.front().hostTimeNs += 5'000'000;
    EXPECT_EQ(compareTransfer(expected, received).earlyCount, 99u);
    const STransferReport best = compareTransfer(expected, received, ELatenessAnchor::kBestKept);
    EXPECT_EQ(best.earlyCount, 0u);
    EXPECT_NEAR(best.lateMinMs, 0, 1e-6); // the message that came 1.5 ms early
    EXPECT_NEAR(best.lateMedianMs, 1.7, 1e-6);
    EXPECT_NEAR(best.lateMaxMs, 6.5, 1e-6); // the first
}

TEST(TransferReport, DifferencesAreNamed) {
    const std::vector<SExpectedMessage> expected = {{0, {0xF0, 0x01, 0xF7}},
                                                    {5, {0xF0, 0x02, 0xF7}}};
    const STransferReport changed =
        compareTransfer(expected, {arrival(0, {0xF0, 0x01, 0xF7}), arrival(5, {0xF0, 0x03, 0xF7})});
    EXPECT_FALSE(changed.identical);
    EXPECT_NE(changed.firstDifference.find("message 1"), std::string::npos);
    const STransferReport missing = compareTransfer(expected, {arrival(0, {0xF0, 0x01, 0xF7})});
    EXPECT_FALSE(missing.identical);
    EXPECT_EQ(missing.firstDifference, "1 of 2 messages received");
    const STransferReport none = compareTransfer(expected, {});
    EXPECT_EQ(none.received, 0u);
    EXPECT_NE(describeTransfer(none).find("messages received: 0 of 2"), std::string::npos);
}

} // namespace
