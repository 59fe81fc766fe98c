#include "AlsaRawOutput.h"

#include <alsa/asoundlib.h>

#include <cerrno>

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
    outOutput.reset(new CAlsaRawOutput(handle));
    return 0;
}

CAlsaRawOutput::~CAlsaRawOutput() {
    snd_rawmidi_close(mHandle);
}

int CAlsaRawOutput::write(const std::uint8_t* inBytes, std::size_t inLength) {
    while (inLength > 0) {
        const ssize_t written = snd_rawmidi_write(mHandle, inBytes, inLength);
        if (written <= 0) {
            return written < 0 ? static_cast<int>(written) : -EIO;
        }
        inBytes += written;
        inLength -= static_cast<std::size_t>(written);
    }
    return 0;
}

int CAlsaRawOutput::drain() {
    return snd_rawmidi_drain(mHandle);
}

void CAlsaRawOutput::drop() {
    snd_rawmidi_drop(mHandle);
}
