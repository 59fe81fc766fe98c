#include "AlsaMIDIDriver.h"

#include "AlsaOutput.h"
#include "AlsaProblems.h"
#include "AlsaRawOutput.h"
#include "AlsaSequencerClient.h"
#include "Common/Gettext.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#ifndef SND_SEQ_PORT_CAP_INACTIVE
#define SND_SEQ_PORT_CAP_INACTIVE (1u << 8) // kernels 6.5+: a MIDI 2.0 port not in use
#endif

namespace {

constexpr unsigned kSourceCapabilities = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned kDestinationCapabilities = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
constexpr unsigned kMIDIPortTypes =
    SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTH | SND_SEQ_PORT_TYPE_APPLICATION;

std::string addressText(int inClient, int inPort) {
    return std::to_string(inClient) + ":" + std::to_string(inPort);
}

} // namespace

CAlsaMIDIDriver::~CAlsaMIDIDriver() {
    detach();
}

bool CAlsaMIDIDriver::attach(CMIDIDriverHost& inHost, std::string& outWhy) {
    InstallAlsaErrorHandler();
    const int status = snd_seq_open(&mQuery, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
    if (status < 0) {
        mQuery = nullptr;
        outWhy = DescribeSequencerOpenFailure(status);
        return false;
    }
    snd_seq_set_client_name(mQuery, "VYR updater (listing)");
    const std::lock_guard<std::mutex> lock(mMutex);
    mHost = &inHost;
    return true;
}

void CAlsaMIDIDriver::detach() {
    std::map<MIDIClientRef, std::shared_ptr<CAlsaSequencerClient>> clients;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mPorts.clear();
        clients.swap(mClients);
    }
    clients.clear(); // joins the readers, which may still be waiting for the lock
    const std::lock_guard<std::mutex> lock(mMutex);
    mHost = nullptr;
    if (mQuery != nullptr) {
        snd_seq_close(mQuery);
        mQuery = nullptr;
    }
}

std::vector<MIDIDriverEndpoint> CAlsaMIDIDriver::endpoints(bool inSources) {
    const unsigned wanted = inSources ? kSourceCapabilities : kDestinationCapabilities;
    const std::lock_guard<std::mutex> lock(mMutex);
    std::vector<MIDIDriverEndpoint> found;
    if (mQuery == nullptr) {
        return found;
    }
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(mQuery, client) >= 0) {
        const int number = snd_seq_client_info_get_client(client);
        if (number == SND_SEQ_CLIENT_SYSTEM || isOurs(number)) {
            continue;
        }
        snd_seq_port_info_set_client(port, number);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(mQuery, port) >= 0) {
            const unsigned capabilities = snd_seq_port_info_get_capability(port);
            if ((capabilities & wanted) != wanted ||
                (capabilities & (SND_SEQ_PORT_CAP_NO_EXPORT | SND_SEQ_PORT_CAP_INACTIVE)) != 0 ||
                (snd_seq_port_info_get_type(port) & kMIDIPortTypes) == 0) {
                continue;
            }
            found.push_back(identityOf({number, snd_seq_port_info_get_port(port)}));
        }
    }
    return found;
}

OSStatus CAlsaMIDIDriver::property(MIDIDriverEndpoint inEndpoint, EProperty inProperty,
                                   std::string& outValue) {
    const std::lock_guard<std::mutex> lock(mMutex);
    Address address;
    if (mQuery == nullptr || !addressOf(inEndpoint, address)) {
        return kMIDIObjectNotFound;
    }
    // Read when asked: a client may rename itself while it lives.
    snd_seq_port_info_t* port = nullptr;
    snd_seq_port_info_alloca(&port);
    if (snd_seq_get_any_port_info(mQuery, address.first, address.second, port) < 0) {
        return kMIDIObjectNotFound;
    }
    switch (inProperty) {
    case EProperty::kModel: {
        snd_seq_client_info_t* client = nullptr;
        snd_seq_client_info_alloca(&client);
        if (snd_seq_get_any_client_info(mQuery, address.first, client) < 0) {
            return kMIDIObjectNotFound;
        }
        outValue = snd_seq_client_info_get_name(client);
        return noErr;
    }
    case EProperty::kName:
        outValue = snd_seq_port_info_get_name(port);
        return noErr;
    case EProperty::kAddress:
        outValue = addressText(address.first, address.second);
        return noErr;
    }
    return kMIDIUnknownProperty;
}

OSStatus CAlsaMIDIDriver::openClient(MIDIClientRef inClient, const std::string& inName) {
    std::unique_ptr<CAlsaSequencerClient> opened;
    const int status = CAlsaSequencerClient::open(
        inName,
        [this, inClient](int inOurPort, snd_seq_addr_t inSource,
                         std::vector<std::vector<std::uint8_t>> inPackets) {
            received(inClient, inOurPort, {inSource.client, inSource.port}, inPackets);
        },
        [this](const snd_seq_event_t& inEvent) {
            announced(inEvent.type, {inEvent.data.addr.client, inEvent.data.addr.port});
        },
        opened);
    const std::lock_guard<std::mutex> lock(mMutex);
    if (status < 0) {
        return fail(kMIDIServerStartErr, DescribeSequencerOpenFailure(status));
    }
    mClients[inClient] = std::move(opened);
    return noErr;
}

void CAlsaMIDIDriver::closeClient(MIDIClientRef inClient) {
    std::shared_ptr<CAlsaSequencerClient> client;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        const auto found = mClients.find(inClient);
        if (found == mClients.end()) {
            return;
        }
        client = std::move(found->second);
        mClients.erase(found);
    }
    client.reset(); // joins its reader, which may be waiting for the lock
}

OSStatus CAlsaMIDIDriver::openPort(MIDIClientRef inClient, MIDIPortRef inPort, bool inInput) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto client = mClients.find(inClient);
    if (client == mClients.end()) {
        return kMIDIInvalidClient;
    }
    const int number = client->second->createPort(inInput);
    if (number < 0) {
        return fail(kMIDIInvalidPort,
                    std::string(_("cannot make a MIDI port:")) + " " + snd_strerror(number));
    }
    mPorts[inPort] = {inClient, client->second, number, {}};
    return noErr;
}

OSStatus CAlsaMIDIDriver::closePort(MIDIPortRef inPort) {
    SPort port;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        const auto found = mPorts.find(inPort);
        if (found == mPorts.end()) {
            return kMIDIInvalidPort;
        }
        port = std::move(found->second);
        mPorts.erase(found);
    }
    port.sequencer->deletePort(port.number);
    return noErr; // the rawmidi outputs close as the last user lets go
}

OSStatus CAlsaMIDIDriver::connect(MIDIPortRef inPort, MIDIDriverEndpoint inSource) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto port = mPorts.find(inPort);
    Address address;
    if (port == mPorts.end()) {
        return kMIDIInvalidPort;
    }
    if (!addressOf(inSource, address)) {
        return kMIDIUnknownEndpoint;
    }
    const int status = port->second.sequencer->connectFrom(
        port->second.number,
        {static_cast<unsigned char>(address.first), static_cast<unsigned char>(address.second)});
    if (status < 0) {
        return fail(kMIDIUnknownEndpoint, labelOf(address) + ": " +
                                              _("cannot receive from the device:") + " " +
                                              snd_strerror(status));
    }
    return noErr;
}

OSStatus CAlsaMIDIDriver::disconnect(MIDIPortRef inPort, MIDIDriverEndpoint inSource) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto port = mPorts.find(inPort);
    Address address;
    if (port != mPorts.end() && addressOf(inSource, address)) {
        // A port that is gone has lost its connections with it.
        port->second.sequencer->disconnectFrom(port->second.number,
                                               {static_cast<unsigned char>(address.first),
                                                static_cast<unsigned char>(address.second)});
    }
    return noErr;
}

OSStatus CAlsaMIDIDriver::send(MIDIPortRef inPort, MIDIDriverEndpoint inDestination,
                               const MIDIPacketList& inList) {
    std::shared_ptr<CAlsaOutput> output;
    std::string label;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        const auto port = mPorts.find(inPort);
        if (port == mPorts.end()) {
            return kMIDIInvalidPort;
        }
        Address address;
        if (!addressOf(inDestination, address)) {
            return fail(kMIDIUnknownEndpoint, _("the device was unplugged"));
        }
        label = labelOf(address);
        if (const OSStatus status = outputTo(port->second, inDestination, address, output);
            status != noErr) {
            return status;
        }
    }
    if (const int status = output->send(inList); status < 0) {
        const std::lock_guard<std::mutex> lock(mMutex);
        return fail(kMIDIMessageSendErr, output->describeFailure(label, status));
    }
    return noErr;
}

OSStatus CAlsaMIDIDriver::outputTo(SPort& ioPort, MIDIDriverEndpoint inDestination,
                                   Address inAddress, std::shared_ptr<CAlsaOutput>& outOutput) {
    if (const auto open = ioPort.outputs.find(inDestination); open != ioPort.outputs.end()) {
        outOutput = open->second;
        return noErr;
    }
    if (const std::string device = rawDeviceOf(inAddress); !device.empty()) {
        std::unique_ptr<CAlsaRawOutput> opened;
        const int status = CAlsaRawOutput::open(device, opened);
        if (status == -EBUSY) {
            return fail(kMIDIMessageSendErr, describeBusy(inAddress));
        }
        if (status < 0) {
            return fail(kMIDIMessageSendErr, DescribeWriteFailure(labelOf(inAddress), status));
        }
        outOutput = CAlsaOutput::raw(std::move(opened));
    } else {
        outOutput = CAlsaOutput::sequencer(ioPort.sequencer, ioPort.number, inAddress.first,
                                           inAddress.second);
    }
    ioPort.outputs[inDestination] = outOutput;
    return noErr;
}

OSStatus CAlsaMIDIDriver::flush(MIDIDriverEndpoint inDestination) {
    std::vector<std::shared_ptr<CAlsaOutput>> outputs;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        for (auto& [ref, port] : mPorts) {
            if (const auto open = port.outputs.find(inDestination); open != port.outputs.end()) {
                outputs.push_back(open->second);
            }
        }
    }
    for (const auto& output : outputs) {
        output->drop();
    }
    return noErr;
}

std::string CAlsaMIDIDriver::takeProblem() {
    const std::lock_guard<std::mutex> lock(mMutex);
    return std::exchange(mProblem, {});
}

MIDIDriverEndpoint CAlsaMIDIDriver::identityOf(Address inAddress) {
    const auto [found, inserted] = mIdentities.try_emplace(inAddress, 0);
    if (inserted) {
        found->second = mNextIdentity++;
        mAddresses[found->second] = inAddress;
    }
    return found->second;
}

bool CAlsaMIDIDriver::addressOf(MIDIDriverEndpoint inIdentity, Address& outAddress) const {
    const auto found = mAddresses.find(inIdentity);
    if (found == mAddresses.end()) {
        return false;
    }
    outAddress = found->second;
    return true;
}

bool CAlsaMIDIDriver::isOurs(int inClient) const {
    if (mQuery != nullptr && inClient == snd_seq_client_id(mQuery)) {
        return true;
    }
    for (const auto& [ref, client] : mClients) {
        if (client->clientNumber() == inClient) {
            return true;
        }
    }
    return false;
}

std::string CAlsaMIDIDriver::rawDeviceOf(Address inAddress) const {
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    if (snd_seq_get_any_client_info(mQuery, inAddress.first, client) < 0 ||
        snd_seq_get_any_port_info(mQuery, inAddress.first, inAddress.second, port) < 0) {
        return {};
    }
    const int card = snd_seq_client_info_get_card(client);
    if (snd_seq_client_info_get_type(client) != SND_SEQ_KERNEL_CLIENT || card < 0 ||
        (snd_seq_port_info_get_type(port) & SND_SEQ_PORT_TYPE_HARDWARE) == 0) {
        return {};
    }
    // The kernel numbers a card's MIDI ports device * 32 + subdevice.
    const int device = inAddress.second / 32;
    const int subdevice = inAddress.second % 32;
    snd_ctl_t* control = nullptr;
    if (snd_ctl_open(&control, ("hw:" + std::to_string(card)).c_str(), 0) < 0) {
        return {};
    }
    snd_rawmidi_info_t* info = nullptr;
    snd_rawmidi_info_alloca(&info);
    snd_rawmidi_info_set_device(info, static_cast<unsigned>(device));
    snd_rawmidi_info_set_subdevice(info, static_cast<unsigned>(subdevice));
    snd_rawmidi_info_set_stream(info, SND_RAWMIDI_STREAM_OUTPUT);
    const bool same =
        snd_ctl_rawmidi_info(control, info) >= 0 &&
        std::string(snd_rawmidi_info_get_subdevice_name(info)) == snd_seq_port_info_get_name(port);
    snd_ctl_close(control);
    return same ? "hw:" + std::to_string(card) + "," + std::to_string(device) + "," +
                      std::to_string(subdevice)
                : std::string();
}

std::string CAlsaMIDIDriver::describeBusy(Address inAddress) const {
    std::string holders;
    std::string undo;
    snd_seq_query_subscribe_t* query = nullptr;
    snd_seq_query_subscribe_alloca(&query);
    const snd_seq_addr_t root = {static_cast<unsigned char>(inAddress.first),
                                 static_cast<unsigned char>(inAddress.second)};
    snd_seq_query_subscribe_set_root(query, &root);
    snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_WRITE);
    for (int index = 0;; ++index) {
        snd_seq_query_subscribe_set_index(query, index);
        if (snd_seq_query_port_subscribers(mQuery, query) < 0) {
            break;
        }
        const snd_seq_addr_t* holder = snd_seq_query_subscribe_get_addr(query);
        holders += (holders.empty() ? "" : ", ") + labelOf({holder->client, holder->port});
        if (undo.empty()) {
            undo = "aconnect -d ";
            undo += addressText(holder->client, holder->port);
            undo += " ";
            undo += addressText(inAddress.first, inAddress.second);
        }
    }
    const std::string device = labelOf(inAddress) + ": ";
    if (holders.empty()) {
        return device + _("another program has the device's port open (a sound server's MIDI "
                          "bridge, say): close it or stop its MIDI bridge, then try again");
    }
    char text[1024];
    std::snprintf(text, sizeof text,
                  _("the device's port is in use by %s: stop that program's MIDI connection to "
                    "the device (or run \"%s\"), then try again"),
                  holders.c_str(), undo.c_str());
    return device + text;
}

std::string CAlsaMIDIDriver::labelOf(Address inAddress) const {
    snd_seq_port_info_t* port = nullptr;
    snd_seq_port_info_alloca(&port);
    const std::string address = addressText(inAddress.first, inAddress.second);
    if (mQuery == nullptr ||
        snd_seq_get_any_port_info(mQuery, inAddress.first, inAddress.second, port) < 0) {
        return address;
    }
    return std::string("\"") + snd_seq_port_info_get_name(port) + "\" (" + address + ")";
}

OSStatus CAlsaMIDIDriver::fail(OSStatus inStatus, std::string inProblem) {
    mProblem = std::move(inProblem);
    return inStatus;
}

void CAlsaMIDIDriver::received(MIDIClientRef inClient, int inOurPort, Address inSource,
                               const std::vector<std::vector<std::uint8_t>>& inPackets) {
    const std::lock_guard<std::mutex> lock(mMutex);
    const auto identity = mIdentities.find(inSource);
    if (mHost == nullptr || identity == mIdentities.end()) {
        return; // from a port nobody listed, so nobody connected to it
    }
    for (const auto& [ref, port] : mPorts) {
        if (port.client == inClient && port.number == inOurPort) {
            mHost->received(ref, identity->second, inPackets, AudioGetCurrentHostTime());
            return;
        }
    }
}

void CAlsaMIDIDriver::announced(int inEventType, Address inAddress) {
    const std::lock_guard<std::mutex> lock(mMutex);
    if (mHost == nullptr) {
        return;
    }
    switch (inEventType) {
    case SND_SEQ_EVENT_PORT_START:
    case SND_SEQ_EVENT_CLIENT_START:
        mHost->arrived();
        return;
    case SND_SEQ_EVENT_PORT_EXIT:
    case SND_SEQ_EVENT_CLIENT_EXIT:
        break;
    default:
        return;
    }
    // Every client hears the announcement; only the first finds the identity to forget.
    const bool wholeClient = inEventType == SND_SEQ_EVENT_CLIENT_EXIT;
    for (auto it = mIdentities.begin(); it != mIdentities.end();) {
        if (it->first.first == inAddress.first &&
            (wholeClient || it->first.second == inAddress.second)) {
            const MIDIDriverEndpoint gone = it->second;
            mAddresses.erase(gone);
            it = mIdentities.erase(it);
            mHost->removed(gone);
        } else {
            ++it;
        }
    }
}
