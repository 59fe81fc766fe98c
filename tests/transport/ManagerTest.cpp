// The manager's life cycle, endpoint lists, opening, closing and health check.
#include "Common/DebugUtil.h"
#include "TransportFixture.h"

#include <gtest/gtest.h>

namespace {

using EOperation = CVirtualMIDIService::EOperation;
using Manager = TransportFixture;

TEST_F(Manager, ListsReadableModelsWithTheirServiceIndices) {
    std::vector<std::string> names;
    mManager->getMidiInDevices(names);
    EXPECT_TRUE(names.empty()) << "no sources";

    mService->addSource("A", "a");
    const auto hidden = mService->addSource("hidden", "h");
    mService->addSource("B", "b");
    mService->setPropertyReadable(hidden, CMIDIDriver::EProperty::kModel, false);
    names = {"kept"};
    std::vector<std::uint32_t> indices;
    mManager->getMidiInDevices(names, &indices);
    EXPECT_EQ(names, (std::vector<std::string>{"kept", "A", "B"}));
    EXPECT_EQ(indices, (std::vector<std::uint32_t>{0, 2}));

    mService->addDestination("VYR10", "d");
    names.clear();
    mManager->getMidiOutDevices(names);
    EXPECT_EQ(names, (std::vector<std::string>{"VYR10"}));
}

TEST_F(Manager, StringConversionGivesEmptyForNullAndFailure) {
    std::string result = "old";
    getStringFromCFString(nullptr, result, kCFStringEncodingUTF8);
    EXPECT_EQ(result, "");
    result = "old";
    getStringFromCFString(CFSTR("VYR5"), result, 0x0600); // an encoding the platform lacks
    EXPECT_EQ(result, "");
    getStringFromCFString(CFSTR("VYR5 \xE2\x82\xAC"), result, CFStringGetSystemEncoding());
    EXPECT_EQ(result, "VYR5 \xE2\x82\xAC");
}

TEST_F(Manager, ClosingWhatIsNotOpenIsQuietSuccess) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(mManager->closeMidiIn(), noErr);
    EXPECT_EQ(mManager->closeMidiOut(), noErr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

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

TEST_F(Manager, PlatformStatusesComeBackUnchanged) {
    mService->addSource("VYR10", "a");
    mService->failNext(EOperation::kInputPortCreate, -4711);
    EXPECT_EQ(openInput(0), -4711);
    EXPECT_FALSE(mManager->isOpenedMidiIn());

    mService->failNext(EOperation::kPortConnectSource, -4712);
    EXPECT_EQ(openInput(0), -4712);
    EXPECT_TRUE(mManager->isOpenedMidiIn()) << "the port stays created";

    EXPECT_EQ(openInput(5), kMIDIUnknownEndpoint) << "index out of range: source 0";

    mService->failNext(EOperation::kOutputPortCreate, -4713);
    EXPECT_EQ(mManager->openMidiOut(0), -4713);
    EXPECT_FALSE(mManager->isOpenedMidiOut());

    mService->failNext(EOperation::kPortDispose, -4714);
    EXPECT_EQ(mManager->closeMidiIn(), -4714);
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

TEST_F(Manager, StoppingTheOutputFlushesButKeepsItOpen) {
    const auto destination = mService->addDestination("VYR10", "d");
    ASSERT_EQ(mManager->openMidiOut(0), noErr);
    ASSERT_EQ(mManager->startMidiOut(), noErr);
    EXPECT_TRUE(mManager->isStartedMidiOut());
    EXPECT_EQ(mManager->stopMidiOut(), noErr);
    EXPECT_EQ(mService->flushCount(destination), 1u);
    EXPECT_TRUE(mManager->isOpenedMidiOut());
    EXPECT_FALSE(mManager->isStartedMidiOut());
    EXPECT_EQ(mManager->closeMidiOut(), noErr);
    EXPECT_EQ(mService->flushCount(destination), 2u);
}

TEST_F(Manager, HealthCheckClosesOnlyASideWhoseNameIsGone) {
    mService->addSource("Other", "Other");
    mService->addDestination("Other", "Other");
    mService->addSource("VYR10", "VYR10 Port 1");
    const auto destination = mService->addDestination("VYR10", "VYR10 Port 1");
    ASSERT_EQ(openInput(1), noErr);
    ASSERT_EQ(mManager->openMidiOut(1), noErr);
    mManager->healthCheck();
    EXPECT_TRUE(mManager->isOpenedMidiIn());
    EXPECT_TRUE(mManager->isOpenedMidiOut());

    mService->addSource("VYR10", "VYR10 Port 1"); // a namesake changes nothing
    mService->removeEndpoint(destination);
    mManager->healthCheck();
    EXPECT_TRUE(mManager->isOpenedMidiIn());
    EXPECT_FALSE(mManager->isOpenedMidiOut());
}

TEST_F(Manager, HealthCheckClosesTheInputWhenItsSourceIsGone) {
    // Also when another source carries the same name: the removed endpoint's own name can
    // no longer be read, and the port is connected to nothing that will ever send.
    const auto source = mService->addSource("VYR10", "VYR10 Port 1");
    mService->addSource("VYR10", "VYR10 Port 1");
    ASSERT_EQ(openInput(0), noErr);
    mService->removeEndpoint(source);
    mManager->healthCheck();
    EXPECT_FALSE(mManager->isOpenedMidiIn());
}

} // namespace
