// A MIDI manager over a fresh virtual MIDI service, with what its input delivered.
#pragma once

#include "Common/DTAMIDIManager_Mac.h"
#include "Platform/Virtual/VirtualMIDIService.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

class TransportFixture : public testing::Test {
  protected:
    using Bytes = std::vector<std::uint8_t>;

    void SetUp() override {
        ASSERT_EQ(MIDIServiceInstallDriver(mService), noErr);
        ASSERT_EQ(CDTAMIDIManager::initialize(nullptr, nullptr), noErr);
        mManager = CDTAMIDIManager::instance();
        ASSERT_NE(mManager, nullptr);
    }
    void TearDown() override {
        CDTAMIDIManager::terminate();
        EXPECT_EQ(CDTAMIDIManager::instance(), nullptr);
        EXPECT_EQ(mService->clientCount(), 0u);
        (void)MIDIServiceInstallDriver(nullptr);
    }

    /// Opens the input on the source at inIndex, collecting messages into mReceived.
    OSStatus openInput(std::uint32_t inIndex) {
        return mManager->openMidiIn(inIndex, collect, this, 512);
    }
    std::vector<Bytes> received() {
        mService->waitUntilDelivered();
        const std::lock_guard<std::mutex> lock(mMutex);
        return mReceived;
    }

    static void collect(void* inContext, const std::uint8_t* inData, std::uint32_t inLength) {
        auto* self = static_cast<TransportFixture*>(inContext);
        const std::lock_guard<std::mutex> lock(self->mMutex);
        self->mReceived.emplace_back(inData, inData + inLength);
    }

    std::shared_ptr<CVirtualMIDIService> mService = std::make_shared<CVirtualMIDIService>();
    CDTAMIDIManager* mManager = nullptr;
    std::mutex mMutex;
    std::vector<Bytes> mReceived;
};
