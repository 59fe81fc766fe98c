// The manager's life cycle, endpoint lists, opening, closing and health check.
#include "Common/DebugUtil.h"
#include "TransportFixture.h"

#include <gtest/gtest.h>

namespace {

using EOperation = CVirtualMIDIService::EOperation;
using Manager = TransportFixture;

TEST_F(Manager, ReopeningTheInputClosesTheFirstPort) {
    mService->addSource("VYR10", "a");
    ASSERT_EQ(openInput(0), noErr);
    ASSERT_EQ(mManager->startMidiIn(), noErr);
    ASSERT_EQ(openInput(0), noErr);
    EXPECT_EQ(mService->portCount(), 1u);
    EXPECT_EQ(mService->connectionCount(), 1u);
    EXPECT_TRUE(mManager->isOpenedMidiIn());
    EXPECT_FALSE(mManager->isStartedMidiIn());
    EXPECT_EQ(mManager->closeMidiIn(), noErr);
    EXPECT_EQ(mService->portCount(), 0u);
    EXPECT_FALSE(mManager->isOpenedMidiIn());
}

// A refused disconnection is told where it failed; one whose source was unplugged is
// expected and goes to the log only. Closing goes on either way.
TEST_F(Manager, FailedDisconnectionIsReportedAndClosingGoesOn) {
    static std::string sLogged;
    mstd::setLogSink([](const char* inLine) { sLogged = inLine; });
    for (const bool unplugged : {false, true}) {
        SCOPED_TRACE(unplugged ? "source unplugged" : "disconnection refused");
        sLogged.clear();
        const auto source = mService->addSource("VYR10", "a");
        ASSERT_EQ(openInput(0), noErr);
        if (unplugged) {
            mService->removeEndpoint(source);
        } else {
            mService->failNext(EOperation::kPortDisconnectSource, -5);
        }
        testing::internal::CaptureStderr();
        EXPECT_EQ(mManager->closeMidiIn(), noErr) << "the port's disposal decides the result";
        const std::string shown = testing::internal::GetCapturedStderr();
        const std::string expected =
            "MIDIPortDisconnectSource returned error. (DTAMIDIManager_Mac:";
        EXPECT_EQ((unplugged ? sLogged : shown).rfind(expected, 0), 0u) << shown << sLogged;
        EXPECT_EQ(unplugged ? shown : sLogged, "");
        EXPECT_FALSE(mManager->isOpenedMidiIn());
        if (!unplugged) {
            mService->removeEndpoint(source);
        }
    }
    mstd::setLogSink(nullptr);
}

TEST_F(Manager, HealthCheckClosesOnlyASideWhoseNameIsGone) {
    mService->addSource("Other", "Other");
    mService->addDestination("Other", "Other");
    const auto source = mService->addSource("VYR10", "VYR10 Port 1");
    const auto destination = mService->addDestination("VYR10", "VYR10 Port 1");
    ASSERT_EQ(openInput(1), noErr);
    ASSERT_EQ(mManager->openMidiOut(1), noErr);
    mManager->healthCheck();
    EXPECT_TRUE(mManager->isOpenedMidiIn());
    EXPECT_TRUE(mManager->isOpenedMidiOut());

    const auto namesake = mService->addSource("VYR10", "VYR10 Port 1"); // changes nothing
    mService->removeEndpoint(destination);
    mManager->healthCheck();
    EXPECT_TRUE(mManager->isOpenedMidiIn());
    EXPECT_FALSE(mManager->isOpenedMidiOut());

    for (const auto gone : {source, namesake}) {
        mService->removeEndpoint(gone);
    }
    mManager->healthCheck();
    EXPECT_FALSE(mManager->isOpenedMidiIn());
}

} // namespace
