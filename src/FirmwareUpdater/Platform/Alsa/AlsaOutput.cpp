#include "AlsaOutput.h"

#include "AlsaProblems.h"
#include "AlsaRawOutput.h"
#include "AlsaSequencerClient.h"
#include "Common/Gettext.h"

#include <cerrno>
#include <vector>

namespace {

class CRawDestination final : public CAlsaOutput {
  public:
    explicit CRawDestination(std::unique_ptr<CAlsaRawOutput> inDevice)
        : mDevice(std::move(inDevice)) {}

    int send(const MIDIPacketList& inList) override {
        // The list's packets as one run: a message goes into the stream whole (or in pieces
        // that each fit it), never packet by packet while the previous packets leave.
        std::vector<std::uint8_t> bytes;
        const MIDIPacket* packet = inList.packet;
        for (std::uint32_t i = 0; i < inList.numPackets; ++i, packet = MIDIPacketNext(packet)) {
            bytes.insert(bytes.end(), packet->data, packet->data + packet->length);
        }
        // Success means the bytes have left, so a failure is told with the message it hit.
        return mDevice->send(bytes.data(), bytes.size());
    }
    void drop() override { mDevice->drop(); }
    std::string describeFailure(const std::string& inLabel, int inStatus) const override {
        return DescribeWriteFailure(inLabel, inStatus);
    }

  private:
    std::unique_ptr<CAlsaRawOutput> mDevice;
};

class CSequencerDestination final : public CAlsaOutput {
  public:
    CSequencerDestination(std::shared_ptr<CAlsaSequencerClient> inSequencer, int inOurPort,
                          snd_seq_addr_t inDestination)
        : mSequencer(std::move(inSequencer)), mOurPort(inOurPort), mDestination(inDestination) {}

    int send(const MIDIPacketList& inList) override {
        return mSequencer->sendTo(mOurPort, mDestination, inList);
    }
    void drop() override {} // direct events are never held back
    std::string describeFailure(const std::string& inLabel, int inStatus) const override {
        return inStatus == -EAGAIN || inStatus == -ENOMEM
                   ? inLabel + ": " + _("the receiving program did not take the data in time")
                   : DescribeWriteFailure(inLabel, inStatus);
    }

  private:
    std::shared_ptr<CAlsaSequencerClient> mSequencer;
    int mOurPort;
    snd_seq_addr_t mDestination;
};

} // namespace

std::shared_ptr<CAlsaOutput> CAlsaOutput::raw(std::unique_ptr<CAlsaRawOutput> inDevice) {
    return std::make_shared<CRawDestination>(std::move(inDevice));
}

std::shared_ptr<CAlsaOutput>
CAlsaOutput::sequencer(std::shared_ptr<CAlsaSequencerClient> inSequencer, int inOurPort,
                       int inClient, int inPort) {
    return std::make_shared<CSequencerDestination>(
        std::move(inSequencer), inOurPort,
        snd_seq_addr_t{static_cast<unsigned char>(inClient), static_cast<unsigned char>(inPort)});
}
