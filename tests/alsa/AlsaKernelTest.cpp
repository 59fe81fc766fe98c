// The ALSA driver against the real kernel: a USB-MIDI gadget on dummy_hcd plays the device
// (its rawmidi side is read and written here), the host side is a real snd-usb-audio card.
// Runs inside the VM (tests/vm/alsa-vm.sh); VYR_GADGET names the gadget's rawmidi device
// and VYR_UDC its UDC file.
#include "Eventually.h"
#include "MIDIProperty.h"
#include "Platform/Alsa/AlsaMIDIDriver.h"
#include "RawMidiLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

const char* environment(const char* inName) {
    const char* value = std::getenv(inName);
    return value != nullptr ? value : "";
}

// "" when inGot is inSent, else where they part.
std::string difference(const Bytes& inSent, const Bytes& inGot) {
    const auto parted = std::mismatch(inSent.begin(), inSent.end(), inGot.begin(), inGot.end());
    if (parted.first == inSent.end() && parted.second == inGot.end()) {
        return {};
    }
    // Where what came instead was sent, if it was: lost, repeated or reordered bytes.
    const auto window = std::min<std::ptrdiff_t>(16, inGot.end() - parted.second);
    const auto found =
        std::search(inSent.begin(), inSent.end(), parted.second, parted.second + window);
    return "sent " + std::to_string(inSent.size()) + " bytes, the device got " +
           std::to_string(inGot.size()) + ", the same up to byte " +
           std::to_string(parted.first - inSent.begin()) + "; what came there was sent at " +
           (found == inSent.end() ? std::string("no place")
                                  : std::to_string(found - inSent.begin()));
}

// "" when inGot is inSent's messages back to back, each identical; else how many differ.
std::string compareMessages(const std::vector<Bytes>& inSent, const Bytes& inGot) {
    Bytes all;
    std::size_t differing = 0;
    for (const Bytes& message : inSent) {
        const std::size_t at = all.size();
        differing += at + message.size() > inGot.size() ||
                     !std::equal(message.begin(), message.end(), inGot.begin() + at);
        all.insert(all.end(), message.begin(), message.end());
    }
    return all == inGot ? std::string()
                        : std::to_string(differing) + " of " + std::to_string(inSent.size()) +
                              " messages differ; " + difference(all, inGot);
}

Bytes sysEx(std::size_t inLength, unsigned inSeed) {
    Bytes bytes(inLength);
    for (std::size_t i = 0; i < inLength; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7 + inSeed * 13 + (i >> 7)) & 0x7F);
    }
    bytes.front() = 0xF0;
    bytes.back() = 0xF7;
    return bytes;
}

// The device: everything the host sends is collected by a thread, as fast as it comes
// (a gadget nobody reads stops taking data, and the host's writes would stall).
class CDeviceSide {
  public:
    CDeviceSide(const char* inDevice, const char* inUdc) : mLine(inDevice, inUdc) {
        mReader = std::thread([this] {
            while (!mStop) {
                std::vector<pollfd> fds = mLine.descriptors();
                ::poll(fds.data(), fds.size(), 10);
                Bytes bytes;
                (void)mLine.read(bytes);
                const std::lock_guard<std::mutex> lock(mMutex);
                mBytes.insert(mBytes.end(), bytes.begin(), bytes.end());
            }
        });
    }
    ~CDeviceSide() {
        mStop = true;
        mReader.join();
    }
    CRawMidiLine& line() { return mLine; }
    std::size_t size() {
        const std::lock_guard<std::mutex> lock(mMutex);
        return mBytes.size();
    }
    /// What came, once inCount bytes came or nothing more for three seconds.
    Bytes take(std::size_t inCount) {
        std::size_t last = 0;
        auto quietSince = std::chrono::steady_clock::now();
        for (;;) {
            std::size_t size = 0;
            {
                const std::lock_guard<std::mutex> lock(mMutex);
                size = mBytes.size();
                if (size >= inCount) {
                    return std::exchange(mBytes, {});
                }
            }
            if (size != last) {
                last = size;
                quietSince = std::chrono::steady_clock::now();
            } else if (std::chrono::steady_clock::now() - quietSince > 3s) {
                const std::lock_guard<std::mutex> lock(mMutex);
                return std::exchange(mBytes, {});
            }
            std::this_thread::sleep_for(5ms);
        }
    }

  private:
    CRawMidiLine mLine;
    std::mutex mMutex;
    Bytes mBytes;
    std::atomic<bool> mStop{false};
    std::thread mReader;
};

// Interrupts inTarget with a signal every 100 µs while it lives, as a program's own signals
// (a terminal resized, Ctrl-Z) do: its blocking calls return early all along (EINTR, short
// writes), for the handler is installed without SA_RESTART.
class CSignalStorm {
  public:
    explicit CSignalStorm(pthread_t inTarget) {
        struct sigaction action {};
        action.sa_handler = [](int) { sDelivered.fetch_add(1, std::memory_order_relaxed); };
        sigemptyset(&action.sa_mask);
        sigaction(SIGUSR2, &action, &mBefore);
        mThread = std::thread([this, inTarget] {
            while (!mStop) {
                pthread_kill(inTarget, SIGUSR2);
                std::this_thread::sleep_for(100us);
            }
        });
    }
    ~CSignalStorm() {
        mStop = true;
        mThread.join();
        sigaction(SIGUSR2, &mBefore, nullptr);
    }
    static inline std::atomic<unsigned> sDelivered{0};

  private:
    struct sigaction mBefore {};
    std::atomic<bool> mStop{false};
    std::thread mThread;
};

class AlsaKernel : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(mDevice.line().problem().empty()) << mDevice.line().problem();
        std::string problem;
        ASSERT_EQ(MIDIServiceInstallDriver(std::make_shared<CAlsaMIDIDriver>(), {}, &problem),
                  noErr)
            << problem;
        ASSERT_EQ(MIDIClientCreate(CFSTR("alsa test"), notify, this, &mClient), noErr);
    }
    void TearDown() override {
        (void)MIDIClientDispose(mClient);
        (void)MIDIServiceInstallDriver(nullptr);
    }

    static void notify(const MIDINotification* inMessage, void* inRefCon) {
        if (inMessage->messageID == kMIDIMsgObjectRemoved) {
            ++static_cast<AlsaKernel*>(inRefCon)->mRemovals;
        }
    }
    /// The device's endpoint, 0 when it is not listed (waits up to inPatience for it).
    static MIDIEndpointRef device(bool inSource, std::chrono::milliseconds inPatience = 0ms) {
        const auto deadline = std::chrono::steady_clock::now() + inPatience;
        do {
            const ItemCount count =
                inSource ? MIDIGetNumberOfSources() : MIDIGetNumberOfDestinations();
            for (ItemCount i = 0; i < count; ++i) {
                const MIDIEndpointRef e = inSource ? MIDIGetSource(i) : MIDIGetDestination(i);
                if (stringProperty(e, kMIDIPropertyModel) == "VYR10") {
                    return e;
                }
            }
            std::this_thread::sleep_for(50ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return 0;
    }
    MIDIPortRef outputPort() {
        MIDIPortRef port = 0;
        EXPECT_EQ(MIDIOutputPortCreate(mClient, CFSTR("out"), &port), noErr);
        return port;
    }
    static OSStatus send(MIDIPortRef inPort, MIDIEndpointRef inDestination, const Bytes& inBytes) {
        std::vector<std::uint8_t> storage(inBytes.size() * 2 + 1024);
        auto* list = reinterpret_cast<MIDIPacketList*>(storage.data());
        MIDIPacket* packet = MIDIPacketListInit(list);
        for (std::size_t at = 0; at < inBytes.size(); at += 256) {
            packet = MIDIPacketListAdd(list, storage.size(), packet, 0,
                                       std::min<std::size_t>(256, inBytes.size() - at),
                                       inBytes.data() + at);
        }
        return MIDISend(inPort, inDestination, list);
    }

    /// Sends inCount messages of inLength bytes back to back and compares what came.
    static std::string sendBurst(MIDIPortRef inPort, MIDIEndpointRef inDestination,
                                 CDeviceSide& ioDevice, unsigned inCount, std::size_t inLength) {
        std::vector<Bytes> messages;
        for (unsigned i = 0; i < inCount; ++i) {
            messages.push_back(sysEx(inLength, i));
            if (const OSStatus status = send(inPort, inDestination, messages.back())) {
                return "message " + std::to_string(i) + " failed (" + std::to_string(status) +
                       "): " + MIDIServiceTakeProblem();
            }
        }
        return compareMessages(messages, ioDevice.take(inCount * inLength));
    }

    CDeviceSide mDevice{environment("VYR_GADGET"), environment("VYR_UDC")};
    MIDIClientRef mClient = 0;
    std::atomic<int> mRemovals{0};
};

TEST_F(AlsaKernel, ListsTheCardsPortWithModelNameAndAddressInOrder) {
    for (const bool sources : {true, false}) {
        const MIDIEndpointRef endpoint = device(sources);
        ASSERT_NE(endpoint, 0u);
        EXPECT_EQ(stringProperty(endpoint, kMIDIPropertyName), "VYR10 MIDI 1");
        const std::string address = stringProperty(endpoint, kMIDIPropertyAddress);
        EXPECT_GE(std::atoi(address.c_str()), 16) << address << ": a kernel client";
        std::vector<std::pair<int, int>> order;
        const ItemCount count = sources ? MIDIGetNumberOfSources() : MIDIGetNumberOfDestinations();
        for (ItemCount i = 0; i < count; ++i) {
            const MIDIEndpointRef e = sources ? MIDIGetSource(i) : MIDIGetDestination(i);
            const std::string model = stringProperty(e, kMIDIPropertyModel);
            EXPECT_NE(model, "alsa test") << "our own client is not listed";
            EXPECT_NE(model.rfind("VYR updater", 0), 0u) << "our own client is not listed";
            int client = -1;
            int port = -1;
            std::sscanf(stringProperty(e, kMIDIPropertyAddress).c_str(), "%d:%d", &client, &port);
            EXPECT_NE(client, 0) << "the System client is not listed";
            order.emplace_back(client, port);
        }
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    }
}

// Long messages back to back, as an image of big blocks plays them. Written in pieces into
// a stream that is already sending, a stretch of a message can go out stale while the
// send succeeds: it takes hundreds of them to see it. Then with signals hitting the sender
// all along, and short messages back to back.
TEST_F(AlsaKernel, BackToBackSysExArriveByteIdenticalEvenUnderSignals) {
    const MIDIPortRef port = outputPort();
    const MIDIEndpointRef destination = device(false);
    EXPECT_EQ(sendBurst(port, destination, mDevice, 128, 65536), "");
    {
        const CSignalStorm storm(pthread_self());
        EXPECT_EQ(sendBurst(port, destination, mDevice, 32, 65536), "") << "under signals";
    }
    EXPECT_GT(CSignalStorm::sDelivered.load(), 100u);
    EXPECT_EQ(sendBurst(port, destination, mDevice, 100, 600), "");
}

TEST_F(AlsaKernel, APortHeldByAnotherProgramIsNamedWithHowToFreeIt) {
    snd_seq_t* other = nullptr;
    ASSERT_GE(snd_seq_open(&other, "default", SND_SEQ_OPEN_DUPLEX, 0), 0);
    snd_seq_set_client_name(other, "Sound bridge");
    const int otherPort = snd_seq_create_simple_port(
        other, "bridge", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    const MIDIEndpointRef destination = device(false);
    int client = -1;
    int devicePort = -1;
    std::sscanf(stringProperty(destination, kMIDIPropertyAddress).c_str(), "%d:%d", &client,
                &devicePort);
    ASSERT_GE(snd_seq_connect_to(other, otherPort, client, devicePort), 0);

    EXPECT_EQ(send(outputPort(), destination, sysEx(600, 0)), kMIDIMessageSendErr);
    const std::string problem = MIDIServiceTakeProblem();
    EXPECT_NE(problem.find("in use by \"bridge\""), std::string::npos) << problem;
    EXPECT_NE(problem.find("aconnect -d"), std::string::npos) << problem;
    snd_seq_close(other);
    EXPECT_EQ(send(outputPort(), destination, sysEx(600, 0)), noErr) << "free again";
}

// Pulled during a long message: what arrived is exactly the start of what was sent (no byte
// stale or repeated), the send fails, and the port lets go at once instead of waiting out
// the kernel's drain of bytes that can no longer leave.
TEST_F(AlsaKernel, UnplugDuringATransferFailsTheSendAndReplugIsANewEndpoint) {
    const MIDIEndpointRef source = device(true);
    const MIDIEndpointRef destination = device(false);
    const MIDIPortRef port = outputPort();
    constexpr std::size_t kLength = 65536;
    std::vector<Bytes> messages;
    for (unsigned i = 0; i < 64; ++i) {
        messages.push_back(sysEx(kLength, i));
    }
    std::atomic<std::size_t> sent{0};
    OSStatus failure = noErr;
    std::thread transfer([&] {
        while (failure == noErr && sent < messages.size()) {
            failure = send(port, destination, messages[sent]);
            sent += failure == noErr;
        }
    });
    // The device has taken three whole messages, and the fourth is on its way.
    if (!eventually([&] { return sent >= 3 && mDevice.size() >= 3 * kLength; }, 60s)) {
        failure = kMIDIMessageSendErr; // the sender stops
        transfer.join();
        FAIL() << "three messages never arrived: " << sent << " sent, " << mDevice.size()
               << " bytes received";
    }
    const std::string controller = mDevice.line().boundController();
    std::string why;
    ASSERT_TRUE(mDevice.line().writeUdc("", why)) << why;
    const auto pulled = std::chrono::steady_clock::now();
    transfer.join();
    EXPECT_EQ(MIDIPortDispose(port), noErr);
    const auto letGo = std::chrono::steady_clock::now() - pulled;
    EXPECT_LT(letGo, 2s) << "the port waited for bytes that could not leave";
    // The write fails (-ENODEV), or the removal came first and the endpoint is unknown.
    EXPECT_TRUE(failure == kMIDIUnknownEndpoint ||
                (failure == kMIDIMessageSendErr && !MIDIServiceTakeProblem().empty()))
        << failure;
    Bytes all;
    for (const Bytes& message : messages) {
        all.insert(all.end(), message.begin(), message.end());
    }
    const Bytes got = mDevice.take(all.size());
    EXPECT_GE(got.size(), 3 * kLength);
    EXPECT_EQ(difference(Bytes(all.begin(), all.begin() + std::min(got.size(), all.size())), got),
              "");
    OSStatus status = noErr;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (stringProperty(source, kMIDIPropertyName, &status),
           status == noErr && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(status, kMIDIObjectNotFound) << "the endpoint outlived its device";
    EXPECT_GT(mRemovals, 0) << "no removal notice";

    ASSERT_TRUE(mDevice.line().writeUdc(controller, why)) << why;
    const MIDIEndpointRef again = device(true, 10s);
    ASSERT_NE(again, 0u) << "the device did not come back";
    EXPECT_NE(again, source) << "the old reference must not reach the new device";
    EXPECT_EQ(stringProperty(again, kMIDIPropertyName), "VYR10 MIDI 1");
}

} // namespace
