#include "SequencerLine.h"

#include <thread>

CSequencerLine::CSequencerLine(std::string inModel) : mModel(std::move(inModel)) {
    (void)open(mProblem); // problem() tells
}

CSequencerLine::~CSequencerLine() {
    close();
}

bool CSequencerLine::open(std::string& outWhy) {
    int status = snd_seq_open(&mSequencer, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
    if (status < 0) {
        mSequencer = nullptr;
        outWhy = std::string("sequencer: ") + snd_strerror(status);
        return false;
    }
    snd_seq_set_client_name(mSequencer, mModel.c_str());
    snd_seq_set_client_pool_input(mSequencer, 2000);
    mPort = snd_seq_create_simple_port(
        mSequencer, (mModel + " MIDI 1").c_str(),
        SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_READ |
            SND_SEQ_PORT_CAP_SUBS_WRITE | SND_SEQ_PORT_CAP_DUPLEX,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    status = mPort < 0 ? mPort : snd_midi_event_new(256, &mParser);
    if (status < 0) {
        close();
        outWhy = std::string("sequencer port: ") + snd_strerror(status);
        return false;
    }
    snd_midi_event_no_status(mParser, 1);
    outWhy.clear();
    return true;
}

void CSequencerLine::close() {
    if (mParser != nullptr) {
        snd_midi_event_free(mParser);
        mParser = nullptr;
    }
    if (mSequencer != nullptr) {
        snd_seq_close(mSequencer);
        mSequencer = nullptr;
    }
}

std::string CSequencerLine::describe() const {
    return "sequencer client " + mModel + " (" +
           std::to_string(mSequencer != nullptr ? snd_seq_client_id(mSequencer) : -1) + ":" +
           std::to_string(mPort) + ")";
}

std::vector<pollfd> CSequencerLine::descriptors() {
    if (mSequencer == nullptr) {
        return {};
    }
    std::vector<pollfd> fds(
        static_cast<std::size_t>(snd_seq_poll_descriptors_count(mSequencer, POLLIN)));
    snd_seq_poll_descriptors(mSequencer, fds.data(), static_cast<unsigned>(fds.size()), POLLIN);
    return fds;
}

bool CSequencerLine::read(std::vector<std::uint8_t>& ioBytes) {
    for (;;) {
        snd_seq_event_t* event = nullptr;
        const int status = snd_seq_event_input(mSequencer, &event);
        if (status == -EAGAIN) {
            return true;
        }
        if (status < 0 || event == nullptr) {
            return false; // -ENOSPC included: a lost byte must show as a failure
        }
        if (event->type == SND_SEQ_EVENT_SYSEX) {
            const auto* data = static_cast<const std::uint8_t*>(event->data.ext.ptr);
            ioBytes.insert(ioBytes.end(), data, data + event->data.ext.len);
            continue;
        }
        std::uint8_t buffer[16];
        snd_midi_event_reset_decode(mParser);
        const long length = snd_midi_event_decode(mParser, buffer, sizeof buffer, event);
        if (length > 0) {
            ioBytes.insert(ioBytes.end(), buffer, buffer + length);
        }
    }
}

bool CSequencerLine::write(const std::vector<std::uint8_t>& inBytes) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_source(&event, mPort);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    snd_seq_ev_set_sysex(&event, inBytes.size(), const_cast<std::uint8_t*>(inBytes.data()));
    return snd_seq_event_output_direct(mSequencer, &event) >= 0;
}

bool CSequencerLine::replug(std::chrono::milliseconds inDelay, std::string& outWhy) {
    close();
    std::this_thread::sleep_for(inDelay);
    const bool opened = open(mProblem);
    outWhy = mProblem;
    return opened;
}
