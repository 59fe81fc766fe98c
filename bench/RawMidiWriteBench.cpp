// The plainest correct way to send long SysEx to a card: each message with one write into
// a drained stream whose buffer holds it, then a drain. vyr-update's time for the same
// messages is compared with this one's (bench/vm-send.sh, in the VM on the real kernel).
//
// usage: rawmidi_write_bench DEVICE COUNT BYTES    (BYTES at most 1048576, the kernel's limit)
#include <alsa/asoundlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: rawmidi_write_bench DEVICE COUNT BYTES\n", stderr);
        return 2;
    }
    const unsigned long count = std::strtoul(argv[2], nullptr, 10);
    const std::size_t bytes = std::strtoul(argv[3], nullptr, 10);
    snd_rawmidi_t* out = nullptr;
    if (int status = snd_rawmidi_open(nullptr, &out, argv[1], 0); status < 0) {
        std::fprintf(stderr, "%s: %s\n", argv[1], snd_strerror(status));
        return 1;
    }
    snd_rawmidi_params_t* params = nullptr;
    snd_rawmidi_params_alloca(&params);
    snd_rawmidi_params_current(out, params);
    snd_rawmidi_params_set_buffer_size(out, params, bytes);
    if (int status = snd_rawmidi_params(out, params); status < 0) {
        std::fprintf(stderr, "buffer of %zu bytes: %s\n", bytes, snd_strerror(status));
        return 1;
    }
    std::vector<unsigned char> message(bytes, 0x55);
    message.front() = 0xF0;
    message.back() = 0xF7;
    const auto start = std::chrono::steady_clock::now();
    for (unsigned long i = 0; i < count; ++i) {
        if (snd_rawmidi_write(out, message.data(), bytes) != static_cast<ssize_t>(bytes) ||
            snd_rawmidi_drain(out) < 0) {
            std::fprintf(stderr, "message %lu failed\n", i);
            return 1;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%lu x %zu bytes, one write and a drain each: %.3f s\n", count, bytes, seconds);
    snd_rawmidi_close(out);
    return 0;
}
