#include "AlsaRawOutput.h"

#include "AlsaStallWatch.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// A pull is seen within this; the bytes of a piece leave long before a DIN line's 5 s.
constexpr int kPollMs = 50;
// As long as the kernel gives its own drain: a device that takes nothing for this long
// has failed.
constexpr std::chrono::seconds kStallLimit{10};

} // namespace

int CAlsaRawOutput::open(const std::string& inDevice, std::unique_ptr<CAlsaRawOutput>& outOutput) {
    snd_rawmidi_t* handle = nullptr;
    // Opened non-blocking, or a port in use would make us wait until its holder lets go
    // instead of saying -EBUSY.
    const int status = snd_rawmidi_open(nullptr, &handle, inDevice.c_str(), SND_RAWMIDI_NONBLOCK);
    if (status < 0) {
        return status;
    }
    // Then blocking: a full buffer makes a write wait instead of failing or dropping.
    snd_rawmidi_nonblock(handle, 0);
    // A poll for room wakes only once at most one byte is left (alsa-lib wants the
    // threshold below the size): drain() waits with it.
    snd_rawmidi_params_t* params = nullptr;
    snd_rawmidi_params_alloca(&params);
    std::size_t buffer = 0;
    if (snd_rawmidi_params_current(handle, params) >= 0) {
        snd_rawmidi_params_set_buffer_size(handle, params, kPieceBytes);
        snd_rawmidi_params_set_avail_min(handle, params, kPieceBytes - 1);
        if (snd_rawmidi_params(handle, params) < 0) { // smaller pieces still work
            snd_rawmidi_params_current(handle, params);
            snd_rawmidi_params_set_avail_min(handle, params,
                                             snd_rawmidi_params_get_buffer_size(params) - 1);
            snd_rawmidi_params(handle, params);
        }
        buffer = snd_rawmidi_params_get_buffer_size(params);
    }
    if (buffer == 0) {
        snd_rawmidi_close(handle);
        return -EIO;
    }
    outOutput.reset(new CAlsaRawOutput(handle, buffer));
    return 0;
}

CAlsaRawOutput::~CAlsaRawOutput() {
    if (!mStuck) {
        snd_rawmidi_close(mHandle);
        return;
    }
    // The kernel's close drains what is left, for its full 10 s when the device is gone:
    // not on the caller's time. Should the process end first, its end interrupts the wait.
    std::thread([handle = mHandle] { snd_rawmidi_close(handle); }).detach();
}

int CAlsaRawOutput::send(const std::uint8_t* inBytes, std::size_t inLength) {
    while (inLength > 0) {
        const long written = writeSome(inBytes, std::min({inLength, mBufferBytes, kPieceBytes}));
        // A short write is drained too before the rest goes in: only an idle stream is safe.
        const int status = written < 0 ? static_cast<int>(written) : drain();
        if (status < 0) {
            // Or closing would wait for bytes that cannot leave; after a pull even the drop
            // is refused.
            mStuck = snd_rawmidi_drop(mHandle) < 0;
            return status;
        }
        inBytes += written;
        inLength -= static_cast<std::size_t>(written);
    }
    return 0;
}

long CAlsaRawOutput::writeSome(const std::uint8_t* inBytes, std::size_t inLength) {
    for (;;) {
        const ssize_t written = snd_rawmidi_write(mHandle, inBytes, inLength);
        if (written > 0) {
            return written;
        }
        if (written == -EAGAIN) {
            // Nothing was taken (the stream is blocking, so this is rare): wait for room.
            std::vector<pollfd> fds = descriptors();
            ::poll(fds.data(), fds.size(), kPollMs);
        } else if (written != -EINTR) { // a signal came before any byte was taken
            return written < 0 ? written : -EIO;
        }
    }
}

int CAlsaRawOutput::drain() {
    // Until the buffer is empty, by polling: the kernel's own drain sleeps its full 10 s
    // when the device is pulled, while a poll sees the removal at once.
    snd_rawmidi_status_t* status = nullptr;
    snd_rawmidi_status_alloca(&status);
    std::vector<pollfd> fds = descriptors();
    CAlsaStallWatch progress(kStallLimit);
    for (;;) {
        if (const int failed = snd_rawmidi_status(mHandle, status); failed < 0) {
            return failed;
        }
        const std::size_t room = snd_rawmidi_status_get_avail(status);
        if (room + 1 >= mBufferBytes) {
            break;
        }
        if (progress.stalled(static_cast<long>(room))) {
            return -EIO; // the device takes nothing
        }
        if (::poll(fds.data(), fds.size(), kPollMs) > 0 &&
            std::any_of(fds.begin(), fds.end(), [](const pollfd& inFd) {
                return (inFd.revents & (POLLERR | POLLNVAL | POLLHUP)) != 0;
            })) {
            return -ENODEV;
        }
    }
    // At most a byte is left: the kernel's drain now waits for it and the last USB transfer
    // and stops the output, so that the next write finds an idle stream.
    int drained = 0;
    do {
        drained = snd_rawmidi_drain(mHandle);
    } while (drained == -EINTR);
    return drained;
}

std::vector<pollfd> CAlsaRawOutput::descriptors() const {
    std::vector<pollfd> fds(static_cast<std::size_t>(snd_rawmidi_poll_descriptors_count(mHandle)));
    snd_rawmidi_poll_descriptors(mHandle, fds.data(), static_cast<unsigned>(fds.size()));
    return fds;
}

void CAlsaRawOutput::drop() {
    snd_rawmidi_drop(mHandle);
}
