// The service core on the virtual driver: endpoints and their references, delivery,
// connections, disposal while a read procedure runs, removal notices, the endpoint filter,
// no driver.
#include "Platform/Virtual/VirtualMIDIService.h"
#include "MIDIProperty.h"
#include "Packets.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <tuple>

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
        MIDIClientDispose(mClient);
        MIDIServiceInstallDriver(nullptr);
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

TEST_F(VirtualService, EndpointsKeepTheirOrderAsOthersComeAndGo) {
    const auto a = mService->addSource("VYR5", "Port A");
    const auto b = mService->addSource("Other", "Port B");
    mService->addSource("VYR10", "Port C");
    mService->addDestination("VYR10", "Port D");
    ASSERT_EQ(MIDIGetNumberOfSources(), 3u);
    const MIDIEndpointRef refA = MIDIGetSource(0);
    const MIDIEndpointRef refC = MIDIGetSource(2);
    EXPECT_EQ(stringProperty(refA, kMIDIPropertyName), "Port A");
    EXPECT_EQ(MIDIGetSource(3), 0u);
    EXPECT_EQ(MIDIGetNumberOfDestinations(), 1u);
    EXPECT_EQ(stringProperty(MIDIGetDestination(0), kMIDIPropertyName), "Port D");
    EXPECT_TRUE(mService->removeEndpoint(b));
    EXPECT_FALSE(mService->removeEndpoint(b));
    EXPECT_EQ(MIDIGetNumberOfSources(), 2u);
    // References stay what they were for the endpoints that stay.
    EXPECT_EQ(MIDIGetSource(0), refA);
    EXPECT_EQ(MIDIGetSource(1), refC);
    EXPECT_EQ(stringProperty(refC, kMIDIPropertyModel), "VYR10");
    EXPECT_EQ(stringProperty(refC, kMIDIPropertyName), "Port C");
    OSStatus status = noErr;
    stringProperty(refC, CFSTR("manufacturer"), &status);
    EXPECT_EQ(status, kMIDIUnknownProperty);
    EXPECT_TRUE(mService->removeEndpoint(a));
    stringProperty(refA, kMIDIPropertyName, &status);
    EXPECT_EQ(status, kMIDIObjectNotFound);
}

TEST_F(VirtualService, AnEndpointAddedAgainIsANewReference) {
    const auto first = mService->addSource("VYR10", "Port 1");
    const MIDIEndpointRef before = MIDIGetSource(0);
    mService->removeEndpoint(first);
    mService->addSource("VYR10", "Port 1");
    EXPECT_NE(MIDIGetSource(0), before);
    EXPECT_EQ(stringProperty(MIDIGetSource(0), kMIDIPropertyName), "Port 1");
}

TEST_F(VirtualService, InjectedBytesArriveOnTheServiceThreadAsGiven) {
    const auto source = mService->addSource("VYR10", "in");
    const auto other = mService->addSource("VYR10", "other");
    SReception reception;
    const MIDIPortRef port = inputPort(reception);
    int connection = 0;
    ASSERT_EQ(MIDIPortConnectSource(port, MIDIGetSource(0), &connection), noErr);
    ASSERT_TRUE(mService->inject(source, {{0xF0, 0x01}, {}, {0x02, 0xF7}}));
    ASSERT_TRUE(mService->inject(other, {{0x90}})); // not connected: not delivered
    ASSERT_TRUE(mService->inject(source, {{0xF8}}));
    mService->waitUntilDelivered();
    const std::lock_guard<std::mutex> lock(reception.mutex);
    EXPECT_EQ(reception.lists,
              (std::vector<std::vector<Bytes>>{{{0xF0, 0x01}, {}, {0x02, 0xF7}}, {{0xF8}}}));
    EXPECT_EQ(reception.connRefCons, (std::vector<void*>{&connection, &connection}));
    EXPECT_NE(reception.thread, std::this_thread::get_id());
    EXPECT_FALSE(mService->inject(999, {{0x01}}));
}

TEST_F(VirtualService, DisconnectedOrDisposedPortsReceiveNothingMore) {
    const auto source = mService->addSource("VYR10", "in");
    SReception reception;
    const MIDIPortRef port = inputPort(reception);
    ASSERT_EQ(MIDIPortConnectSource(port, MIDIGetSource(0), nullptr), noErr);
    ASSERT_EQ(MIDIPortDisconnectSource(port, MIDIGetSource(0)), noErr);
    EXPECT_EQ(MIDIPortDisconnectSource(port, MIDIGetSource(0)), kMIDINoConnection);
    mService->inject(source, {{0x01}});
    ASSERT_EQ(MIDIPortConnectSource(port, MIDIGetSource(0), nullptr), noErr);
    ASSERT_EQ(MIDIPortDispose(port), noErr);
    EXPECT_EQ(MIDIPortDispose(port), kMIDIInvalidPort);
    mService->inject(source, {{0x02}});
    mService->waitUntilDelivered();
    EXPECT_TRUE(reception.lists.empty());
}

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

TEST_F(VirtualService, RemovalNotifiesEveryClientOnTheServiceThread) {
    struct SNotices {
        std::atomic<int> removed{0};
        std::thread::id thread;
        static void notify(const MIDINotification* inMessage, void* inRefCon) {
            auto* self = static_cast<SNotices*>(inRefCon);
            self->thread = std::this_thread::get_id();
            if (inMessage->messageID == kMIDIMsgObjectRemoved) {
                ++self->removed;
            }
        }
    } first, second;
    MIDIClientRef a = 0;
    MIDIClientRef b = 0;
    ASSERT_EQ(MIDIClientCreate(CFSTR("a"), SNotices::notify, &first, &a), noErr);
    ASSERT_EQ(MIDIClientCreate(CFSTR("b"), SNotices::notify, &second, &b), noErr);
    const auto source = mService->addSource("VYR10", "in");
    SReception reception;
    const MIDIPortRef port = inputPort(reception);
    ASSERT_EQ(MIDIPortConnectSource(port, MIDIGetSource(0), nullptr), noErr);
    ASSERT_TRUE(mService->removeEndpoint(source));
    EXPECT_EQ(mService->connectionCount(), 0u);
    mService->waitUntilDelivered();
    EXPECT_EQ(first.removed, 1);
    EXPECT_EQ(second.removed, 1);
    EXPECT_NE(first.thread, std::this_thread::get_id());
    MIDIClientDispose(a);
    MIDIClientDispose(b);
}

TEST(NoDriver, ServiceCallsFailCleanly) {
    ASSERT_EQ(MIDIServiceInstallDriver(nullptr), noErr);
    MIDIClientRef client = 0;
    EXPECT_EQ(MIDIClientCreate(CFSTR("x"), nullptr, nullptr, &client), kMIDIServerStartErr);
    EXPECT_EQ(MIDIGetNumberOfSources(), 0u);
    EXPECT_EQ(MIDIGetSource(0), 0u);
}

} // namespace

TEST(EndpointFilter, ListsOnlyEndpointsWhoseNameOrAddressContainsIt) {
    const auto service = std::make_shared<CVirtualMIDIService>();
    const auto first = service->addSource("VYR10", "VYR10 Port 1");
    service->addSource("VYR10", "VYR10 Port 2");
    service->addDestination("VYR10", "VYR10 Port 2");
    for (const auto& [filter, sources, destinations] :
         std::vector<std::tuple<std::string, ItemCount, ItemCount>>{
             {"Port 2", 1, 1}, {"virtual:" + std::to_string(first), 1, 0}, {"VYR5", 0, 0}}) {
        ASSERT_EQ(MIDIServiceInstallDriver(service, filter), noErr);
        EXPECT_EQ(MIDIGetNumberOfSources(), sources) << filter;
        EXPECT_EQ(MIDIGetNumberOfDestinations(), destinations) << filter;
    }
    MIDIServiceInstallDriver(nullptr);
}
