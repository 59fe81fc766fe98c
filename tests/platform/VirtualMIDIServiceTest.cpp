// The service core on the virtual driver: endpoints and their references, delivery,
// connections, disposal while a read procedure runs, no driver.
#include "Platform/Virtual/VirtualMIDIService.h"
#include "Packets.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;

// What one input port received, and on which thread.
struct SReception {
    std::mutex mutex;
    std::vector<std::vector<Bytes>> lists;
    std::vector<void*> connRefCons;
    std::thread::id thread;

    static void readProc(const MIDIPacketList* inList, void* inRefCon, void* inConnRefCon) {
        auto* self = static_cast<SReception*>(inRefCon);
        const std::lock_guard<std::mutex> lock(self->mutex);
        self->lists.push_back(packetsOf(*inList));
        self->connRefCons.push_back(inConnRefCon);
        self->thread = std::this_thread::get_id();
    }
};

class VirtualService : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(MIDIServiceInstallDriver(mService), noErr);
        ASSERT_EQ(MIDIClientCreate(CFSTR("test"), nullptr, nullptr, &mClient), noErr);
    }
    void TearDown() override {
        (void)MIDIClientDispose(mClient);
        (void)MIDIServiceInstallDriver(nullptr);
    }

    MIDIPortRef inputPort(SReception& ioReception) {
        MIDIPortRef port = 0;
        EXPECT_EQ(
            MIDIInputPortCreate(mClient, CFSTR("in"), SReception::readProc, &ioReception, &port),
            noErr);
        return port;
    }

    std::shared_ptr<CVirtualMIDIService> mService = std::make_shared<CVirtualMIDIService>();
    MIDIClientRef mClient = 0;
};

// A port or an endpoint of the other kind is refused, never used as if it were right.
TEST_F(VirtualService, ReferencesOfTheWrongKindAreRefused) {
    mService->addSource("VYR10", "in");
    mService->addDestination("VYR10", "out");
    SReception reception;
    const MIDIPortRef input = inputPort(reception);
    MIDIPortRef output = 0;
    ASSERT_EQ(MIDIOutputPortCreate(mClient, CFSTR("out"), &output), noErr);
    EXPECT_EQ(MIDIOutputPortCreate(mClient, CFSTR("out"), nullptr), paramErr);
    EXPECT_EQ(MIDIInputPortCreate(mClient, CFSTR("in"), nullptr, nullptr, &output), paramErr);
    const MIDIPacketList none{};
    EXPECT_EQ(MIDIPortConnectSource(output, MIDIGetSource(0), nullptr), kMIDIInvalidPort);
    EXPECT_EQ(MIDIPortConnectSource(input, MIDIGetDestination(0), nullptr), kMIDIUnknownEndpoint);
    EXPECT_EQ(MIDIPortDisconnectSource(input, MIDIGetSource(0)), kMIDINoConnection);
    EXPECT_EQ(MIDISend(input, MIDIGetDestination(0), &none), kMIDIInvalidPort);
    EXPECT_EQ(MIDISend(output, MIDIGetSource(0), &none), kMIDIUnknownEndpoint);
    EXPECT_EQ(MIDIFlushOutput(MIDIGetSource(0)), kMIDIUnknownEndpoint);
}

TEST_F(VirtualService, DisposeWaitsForARunningReadProcedure) {
    const auto source = mService->addSource("VYR10", "in");
    struct SSlowReader {
        std::promise<void> entered;
        std::atomic<bool> returned{false};
        static void readProc(const MIDIPacketList*, void* inRefCon, void*) {
            auto* self = static_cast<SSlowReader*>(inRefCon);
            self->entered.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            self->returned = true;
        }
    } reader;
    MIDIPortRef port = 0;
    ASSERT_EQ(MIDIInputPortCreate(mClient, CFSTR("in"), SSlowReader::readProc, &reader, &port),
              noErr);
    ASSERT_EQ(MIDIPortConnectSource(port, MIDIGetSource(0), nullptr), noErr);
    mService->inject(source, {{0x01}});
    reader.entered.get_future().wait();
    ASSERT_EQ(MIDIPortDispose(port), noErr);
    EXPECT_TRUE(reader.returned) << "dispose returned while the read procedure still ran";
}

} // namespace
