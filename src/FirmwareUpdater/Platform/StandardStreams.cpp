#include "StandardStreams.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

void EnsureStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        // open takes the lowest free number: the closed one. Read-only, so that what is
        // written to a stream that was closed fails as it would have, instead of vanishing.
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF &&
            ::open("/dev/null", O_RDONLY | O_CLOEXEC) != fd) {
            return;
        }
    }
}

bool FinishStandardOutput(std::string& outWhy) {
    const bool failedBefore = std::ferror(stdout) != 0; // its errno is long gone
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    int error = errno;
    if (std::fclose(stdout) != 0 && error == 0) {
        error = errno;
    }
    if (flushed && error == 0 && !failedBefore) {
        return true;
    }
    outWhy =
        error == EBADF || error == 0 ? "it is closed or refused a write" : std::strerror(error);
    return false;
}
