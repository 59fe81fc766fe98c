#include "SimulatedVYRDevice.h"

#include <stdexcept>

CSimulatedVYRDevice::CSimulatedVYRDevice(std::shared_ptr<CVirtualMIDIService> inService,
                                         SSimulatedDeviceOptions inOptions)
    : mService(std::move(inService)), mOptions(std::move(inOptions)),
      mSource(mService->addSource(mOptions.model, mOptions.name)),
      mDestination(mService->addDestination(
          mOptions.model, mOptions.name,
          [this](const MIDIPacketList& inList, MIDITimeStamp inTime) { receive(inList, inTime); })),
      mModel(mOptions.behaviour), mHeartbeat([this] { sendHeartbeats(); }) {}

CSimulatedVYRDevice::~CSimulatedVYRDevice() {
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mStopping = true;
    }
    mChanged.notify_all();
    mHeartbeat.join();
    unplug();
}

void CSimulatedVYRDevice::switchToUpdateMode() {
    bool switched = false;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        switched = mModel.switchToUpdateMode();
    }
    if (switched && mOptions.refuseSendsFrom > 0) {
        mService->failSendsFrom(mOptions.refuseSendsFrom, kMIDIMessageSendErr);
    }
    mChanged.notify_all();
}

bool CSimulatedVYRDevice::isPresent() const {
    const std::lock_guard<std::mutex> lock(mMutex);
    return mPresent;
}

std::vector<SReceivedMessage> CSimulatedVYRDevice::received() const {
    const std::lock_guard<std::mutex> lock(mMutex);
    return mModel.received();
}

void CSimulatedVYRDevice::receive(const MIDIPacketList& inList, MIDITimeStamp inHostTime) {
    std::vector<std::uint8_t> bytes;
    const MIDIPacket* packet = inList.packet;
    for (std::uint32_t i = 0; i < inList.numPackets; ++i, packet = MIDIPacketNext(packet)) {
        bytes.insert(bytes.end(), packet->data, packet->data + packet->length);
    }
    bool vanish = false;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        const std::uint32_t number = mModel.inUpdateMode() && mModel.onTheBus()
                                         ? static_cast<std::uint32_t>(mModel.received().size() + 1)
                                         : 0;
        if (number != 0 && number == mOptions.serviceFaultAt) {
            throw std::runtime_error("simulated MIDI service failure");
        }
        // A data byte that stays one: the message still frames, only its content is wrong.
        if (number != 0 && number == mOptions.garbleAt && bytes.size() > 2) {
            bytes[1] ^= 0x01;
        }
        vanish = mModel.receive(bytes, inHostTime);
    }
    if (vanish) {
        unplug();
    }
}

void CSimulatedVYRDevice::sendHeartbeat() {
    const std::lock_guard<std::mutex> lock(mMutex);
    injectHeartbeat();
}

void CSimulatedVYRDevice::sendHeartbeats() {
    const std::chrono::milliseconds period = mOptions.behaviour.heartbeatPeriod;
    const bool periodic = period.count() > 0;
    std::unique_lock<std::mutex> lock(mMutex);
    while (!mStopping) {
        if (periodic) {
            injectHeartbeat();
            mChanged.wait_for(lock, period, [this] { return mStopping; });
        } else {
            mChanged.wait(lock, [this] { return mStopping; });
        }
    }
}

void CSimulatedVYRDevice::injectHeartbeat() {
    // Injected under the lock, so no heartbeat leaves after switchToUpdateMode returns.
    // The service never calls back into the device while it holds its own lock.
    if (const std::vector<std::uint8_t> heartbeat = mModel.heartbeat();
        mPresent && !heartbeat.empty()) {
        mService->inject(mSource, {heartbeat});
    }
}

void CSimulatedVYRDevice::unplug() {
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        if (!mPresent) {
            return;
        }
        mPresent = false;
    }
    mService->removeEndpoint(mSource);
    mService->removeEndpoint(mDestination);
}
