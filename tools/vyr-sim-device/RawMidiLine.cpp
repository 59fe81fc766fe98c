#include "RawMidiLine.h"

#include <fstream>
#include <thread>

namespace {

// Bytes the kernel keeps for us between two reads: a whole firmware burst.
constexpr std::size_t kInputBufferBytes = 1u << 20;
constexpr auto kReappearTimeout = std::chrono::seconds(10);

} // namespace

CRawMidiLine::CRawMidiLine(std::string inDevice, std::string inUdcFile)
    : mDevice(std::move(inDevice)), mUdcFile(std::move(inUdcFile)) {
    (void)open(mProblem); // problem() tells
}

CRawMidiLine::~CRawMidiLine() {
    close();
}

bool CRawMidiLine::open(std::string& outWhy) {
    int status = snd_rawmidi_open(&mIn, &mOut, mDevice.c_str(), SND_RAWMIDI_NONBLOCK);
    if (status < 0) {
        mIn = mOut = nullptr;
        outWhy = mDevice + ": " + snd_strerror(status);
        return false;
    }
    snd_rawmidi_params_t* params = nullptr;
    snd_rawmidi_params_alloca(&params);
    snd_rawmidi_params_current(mIn, params);
    snd_rawmidi_params_set_buffer_size(mIn, params, kInputBufferBytes);
    status = snd_rawmidi_params(mIn, params);
    if (status < 0) {
        close();
        outWhy = mDevice + ": " + snd_strerror(status);
        return false;
    }
    outWhy.clear();
    return true;
}

void CRawMidiLine::close() {
    if (mIn != nullptr) {
        snd_rawmidi_close(mIn);
        snd_rawmidi_close(mOut);
        mIn = mOut = nullptr;
    }
}

std::vector<pollfd> CRawMidiLine::descriptors() {
    if (mIn == nullptr) {
        return {};
    }
    std::vector<pollfd> fds(static_cast<std::size_t>(snd_rawmidi_poll_descriptors_count(mIn)));
    snd_rawmidi_poll_descriptors(mIn, fds.data(), static_cast<unsigned>(fds.size()));
    return fds;
}

bool CRawMidiLine::read(std::vector<std::uint8_t>& ioBytes) {
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t count = snd_rawmidi_read(mIn, buffer, sizeof buffer);
        if (count == -EAGAIN) {
            return true;
        }
        if (count <= 0) {
            return false;
        }
        ioBytes.insert(ioBytes.end(), buffer, buffer + count);
    }
}

bool CRawMidiLine::write(const std::vector<std::uint8_t>& inBytes) {
    // Both directions share one descriptor, which reads need non-blocking: a write waits
    // for room itself, so a heartbeat is never dropped on our side either.
    std::size_t done = 0;
    while (mOut != nullptr && done < inBytes.size()) {
        const ssize_t written =
            snd_rawmidi_write(mOut, inBytes.data() + done, inBytes.size() - done);
        if (written == -EAGAIN) {
            std::vector<pollfd> fds(
                static_cast<std::size_t>(snd_rawmidi_poll_descriptors_count(mOut)));
            snd_rawmidi_poll_descriptors(mOut, fds.data(), static_cast<unsigned>(fds.size()));
            ::poll(fds.data(), fds.size(), 100);
        } else if (written < 0) {
            return false;
        } else {
            done += static_cast<std::size_t>(written);
        }
    }
    return mOut != nullptr;
}

bool CRawMidiLine::writeUdc(const std::string& inContent, std::string& outWhy) const {
    std::ofstream udc(mUdcFile);
    udc << inContent << '\n';
    udc.close();
    if (!udc) {
        outWhy = mUdcFile + ": cannot write \"" + inContent + "\"";
    }
    return static_cast<bool>(udc);
}

std::string CRawMidiLine::boundController() const {
    std::ifstream udc(mUdcFile);
    std::string name;
    std::getline(udc, name);
    return name;
}

bool CRawMidiLine::replug(std::chrono::milliseconds inDelay, std::string& outWhy) {
    if (mUdcFile.empty()) {
        outWhy = "no --udc file: the gadget cannot be unplugged";
        return false;
    }
    const std::string controller = boundController();
    close();
    if (!writeUdc("", outWhy)) {
        return false;
    }
    std::this_thread::sleep_for(inDelay);
    if (!writeUdc(controller, outWhy)) {
        return false;
    }
    // The gadget's own card comes back once the host has configured it again.
    const auto deadline = std::chrono::steady_clock::now() + kReappearTimeout;
    while (!open(mProblem)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            outWhy = mProblem;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}
