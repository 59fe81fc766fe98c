#include "Platform/FileRead.h"

#include "Common/Gettext.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string systemError(const char* inWhat, int inErrno) {
    return std::string(inWhat) + ": " + std::strerror(inErrno);
}

std::string tooLarge(std::size_t inMaxBytes) {
    return formatted(_("larger than %zu bytes"), inMaxBytes);
}

// Reads to the end (a stream has no size to trust), one byte past the limit at most.
std::string readToEnd(int inFd, std::size_t inMaxBytes, std::vector<std::uint8_t>& outBytes) {
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(inFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return systemError(_("cannot read"), errno);
        }
        if (n == 0) {
            return {};
        }
        if (outBytes.size() + static_cast<std::size_t>(n) > inMaxBytes) {
            return tooLarge(inMaxBytes);
        }
        outBytes.insert(outBytes.end(), buffer, buffer + n);
    }
}

} // namespace

bool ReadWholeFile(const std::string& inPath, EFileKind inKind, std::size_t inMaxBytes,
                   std::vector<std::uint8_t>& outBytes, std::string& outWhy) {
    outBytes.clear();
    const bool standardInput = inKind == EFileKind::kAnyStream && inPath == "-";
    // O_NONBLOCK: opening a FIFO must not wait for a writer before its kind is known.
    const int fd = standardInput ? ::dup(STDIN_FILENO)
                                 : ::open(inPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        outWhy = systemError(_("cannot open"), errno);
        return false;
    }
    struct stat info {};
    std::string error;
    if (::fstat(fd, &info) != 0) {
        error = systemError(_("cannot read"), errno);
    } else if (S_ISDIR(info.st_mode)) {
        error = _("is a directory");
    } else if (!S_ISREG(info.st_mode) && inKind == EFileKind::kRegularOnly) {
        error = _("is not a regular file (a device, FIFO or socket)");
    } else if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > inMaxBytes) {
        error = tooLarge(inMaxBytes);
    } else if (S_ISFIFO(info.st_mode) && !standardInput) {
        // A named FIFO is read once its writer comes, as cat reads it: a second, waiting open
        // (the first one read nothing, not even an end, from a FIFO without a writer yet).
        const int waiting = ::open(inPath.c_str(), O_RDONLY | O_CLOEXEC);
        error = waiting < 0 ? systemError(_("cannot open"), errno)
                            : readToEnd(waiting, inMaxBytes, outBytes);
        if (waiting >= 0) {
            ::close(waiting);
        }
    } else {
        // Blocking again for the read itself: a pipe is read as its writer writes.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        error = readToEnd(fd, inMaxBytes, outBytes);
    }
    ::close(fd);
    if (!error.empty()) {
        outBytes.clear();
        outWhy = error;
    }
    return error.empty();
}
