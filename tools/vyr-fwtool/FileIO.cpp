#include "FileIO.h"

#include "Platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string systemError(const char* inWhat) {
    return std::string(inWhat) + ": " + std::strerror(errno);
}

} // namespace

bool readFileBytes(const std::string& inPath, std::vector<std::uint8_t>& outBytes,
                   std::string& outError) {
    const int fd = ::open(inPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        outError = systemError("cannot open");
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        outError = S_ISDIR(info.st_mode) ? "is a directory" : systemError("cannot read");
        ::close(fd);
        return false;
    }
    if (static_cast<std::uint64_t>(info.st_size) > 0xFFFFFFFFu) {
        outError = "larger than 4 GiB";
        ::close(fd);
        return false;
    }
    outBytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < outBytes.size()) {
        const ssize_t n = ::read(fd, outBytes.data() + done, outBytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            outError = n == 0 ? "file shrank while being read" : systemError("cannot read");
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return true;
}

bool writeFileBytes(const std::string& inPath, const std::vector<std::uint8_t>& inBytes,
                    std::string& outError) {
    return WriteFileAtomically(inPath, inBytes.data(), inBytes.size(), &outError);
}
