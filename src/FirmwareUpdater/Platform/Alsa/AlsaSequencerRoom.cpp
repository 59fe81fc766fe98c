#include "AlsaSequencerRoom.h"

#include <cerrno>
#include <sound/asequencer.h>
#include <sys/ioctl.h>

static_assert(sizeof(snd_seq_event) == 28, "an event header is one queue cell");

int SequencerInputRoom(int inSequencerFd, int inClient) {
    snd_seq_client_pool pool{};
    pool.client = inClient;
    if (::ioctl(inSequencerFd, SNDRV_SEQ_IOCTL_GET_CLIENT_POOL, &pool) < 0) {
        return -errno;
    }
    return pool.input_pool > 0 ? static_cast<int>(pool.input_free) : -ENOENT;
}
