#include "AlsaSequencerClient.h"

#include "AlsaInputDecoder.h"
#include "AlsaSequencerEncoder.h"
#include "AlsaSequencerRoom.h"
#include "AlsaStallWatch.h"
#include "Common/DebugUtil.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

constexpr const char* kSourceName = "AlsaSequencerClient";
// Events the kernel holds for us between two reads: the most it allows, so a burst of
// heartbeats and SysEx pieces while the reader is descheduled fits.
constexpr std::size_t kInputPoolEvents = 2000;
// How often a sender looks again for room in a receiving program's queue, and how long that
// program may read nothing before the send fails.
constexpr auto kRoomPoll = std::chrono::milliseconds(1);
constexpr auto kReceiverStallLimit = std::chrono::seconds(5);

int descriptorOf(snd_seq_t* inSequencer) {
    pollfd descriptor{-1, 0, 0};
    snd_seq_poll_descriptors(inSequencer, &descriptor, 1, POLLOUT);
    return descriptor.fd;
}

} // namespace

int CAlsaSequencerClient::open(const std::string& inName, InputHandler inInput,
                               AnnounceHandler inAnnounce,
                               std::unique_ptr<CAlsaSequencerClient>& outClient) {
    snd_seq_t* sequencer = nullptr;
    int status = snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
    if (status < 0) {
        return status;
    }
    const int wakeup = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeup < 0) {
        status = -errno;
        snd_seq_close(sequencer);
        return status;
    }
    snd_seq_set_client_name(sequencer, inName.empty() ? "VYR updater" : inName.c_str());
    snd_seq_set_client_pool_input(sequencer, kInputPoolEvents);
    outClient.reset(
        new CAlsaSequencerClient(sequencer, wakeup, std::move(inInput), std::move(inAnnounce)));
    return 0;
}

CAlsaSequencerClient::CAlsaSequencerClient(snd_seq_t* inSequencer, int inWakeup,
                                           InputHandler inInput, AnnounceHandler inAnnounce)
    : mSequencer(inSequencer), mSequencerFd(descriptorOf(inSequencer)),
      mClientNumber(snd_seq_client_id(inSequencer)), mWakeup(inWakeup), mInput(std::move(inInput)),
      mAnnounce(std::move(inAnnounce)) {
    // Hot-plug: System:Announce tells of every client and port that comes or goes.
    mAnnouncePort = snd_seq_create_simple_port(mSequencer, "announcements",
                                               SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                               SND_SEQ_PORT_TYPE_APPLICATION);
    if (mAnnouncePort < 0 || snd_seq_connect_from(mSequencer, mAnnouncePort, SND_SEQ_CLIENT_SYSTEM,
                                                  SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0) {
        DTA_LOCATED_DIAGNOSTIC("No hot-plug notices: System:Announce refused us.", kSourceName);
    }
    mReader = std::thread([this] { readUntilStopped(); });
}

CAlsaSequencerClient::~CAlsaSequencerClient() {
    const std::uint64_t one = 1;
    if (::write(mWakeup, &one, sizeof one) != sizeof one) {
        DTA_LOCATED_DIAGNOSTIC("Cannot wake the MIDI reader.", kSourceName);
    }
    mReader.join();
    snd_seq_close(mSequencer);
    ::close(mWakeup);
}

int CAlsaSequencerClient::createPort(bool inInput) {
    const unsigned capabilities = inInput ? SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE
                                          : SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    return snd_seq_create_simple_port(mSequencer, inInput ? "input" : "output", capabilities,
                                      SND_SEQ_PORT_TYPE_MIDI_GENERIC |
                                          SND_SEQ_PORT_TYPE_APPLICATION);
}

void CAlsaSequencerClient::deletePort(int inPort) {
    snd_seq_delete_simple_port(mSequencer, inPort);
}

int CAlsaSequencerClient::connectFrom(int inPort, snd_seq_addr_t inSource) {
    return snd_seq_connect_from(mSequencer, inPort, inSource.client, inSource.port);
}

int CAlsaSequencerClient::disconnectFrom(int inPort, snd_seq_addr_t inSource) {
    return snd_seq_disconnect_from(mSequencer, inPort, inSource.client, inSource.port);
}

int CAlsaSequencerClient::sendTo(int inPort, snd_seq_addr_t inDestination,
                                 const MIDIPacketList& inList) {
    const std::lock_guard<std::mutex> lock(mSendMutex);
    // A kernel port takes events only from a subscriber; a second subscription is refused
    // with -EBUSY, which is no failure.
    const int connected =
        snd_seq_connect_to(mSequencer, inPort, inDestination.client, inDestination.port);
    if (connected < 0 && connected != -EBUSY) {
        return connected;
    }
    const auto emit = [&](snd_seq_event_t& ioEvent) {
        snd_seq_ev_set_source(&ioEvent, inPort);
        snd_seq_ev_set_dest(&ioEvent, inDestination.client, inDestination.port);
        snd_seq_ev_set_direct(&ioEvent);
        const bool variable = snd_seq_ev_is_variable(&ioEvent);
        if (const int room = waitForRoom(inDestination.client,
                                         SequencerEventCells(variable ? ioEvent.data.ext.len : 0));
            room < 0) {
            return room;
        }
        // Should another sender have taken the room meanwhile, the receiver refuses with
        // -EAGAIN: a failed send, never a byte lost unnoticed.
        const int sent = snd_seq_event_output_direct(mSequencer, &ioEvent);
        return sent < 0 ? sent : 0;
    };
    CAlsaSequencerEncoder encoder;
    const MIDIPacket* packet = inList.packet;
    for (std::uint32_t i = 0; i < inList.numPackets; ++i, packet = MIDIPacketNext(packet)) {
        if (const int result = encoder.add(packet->data, packet->length, emit)) {
            return result;
        }
    }
    return encoder.finish(emit);
}

int CAlsaSequencerClient::waitForRoom(int inClient, int inCells) {
    CAlsaStallWatch reading(kReceiverStallLimit);
    for (;;) {
        const int room = SequencerInputRoom(mSequencerFd, inClient);
        if (room < 0 || room >= inCells) {
            return 0; // no queue to fill (a kernel client), or room enough
        }
        if (reading.stalled(room)) {
            return -EAGAIN; // the program reads nothing
        }
        std::this_thread::sleep_for(kRoomPoll);
    }
}

void CAlsaSequencerClient::readUntilStopped() {
    const int count = snd_seq_poll_descriptors_count(mSequencer, POLLIN);
    std::vector<pollfd> descriptors(static_cast<std::size_t>(count) + 1);
    snd_seq_poll_descriptors(mSequencer, descriptors.data() + 1, static_cast<unsigned>(count),
                             POLLIN);
    descriptors[0] = {mWakeup, POLLIN, 0};
    CAlsaInputDecoder decoder;
    for (;;) {
        if (::poll(descriptors.data(), descriptors.size(), -1) < 0 && errno != EINTR) {
            DTA_LOCATED_DIAGNOSTIC("MIDI input stopped: poll failed.", kSourceName);
            return;
        }
        if (descriptors[0].revents != 0) {
            return;
        }
        for (;;) {
            snd_seq_event_t* event = nullptr;
            const int status = snd_seq_event_input(mSequencer, &event);
            if (status == -ENOSPC) {
                if (decoder.overflowed()) {
                    DTA_LOCATED_DIAGNOSTIC("MIDI input overflowed and messages were lost; "
                                           "going on from the next message start.",
                                           kSourceName);
                }
                continue;
            }
            if (status < 0 || event == nullptr) {
                break; // -EAGAIN: all read
            }
            if (event->source.client == SND_SEQ_CLIENT_SYSTEM) {
                mAnnounce(*event);
                continue;
            }
            std::vector<std::uint8_t> bytes = decoder.decode(*event);
            if (!bytes.empty()) {
                mInput(event->dest.port, event->source, {std::move(bytes)});
            }
        }
    }
}
