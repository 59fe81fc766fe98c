#include "AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int inFd, const char* inBytes, std::size_t inSize) {
    while (inSize > 0) {
        const ssize_t n = ::write(inFd, inBytes, inSize);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        inBytes += n;
        inSize -= static_cast<std::size_t>(n);
    }
    return true;
}

bool fail(std::string* outError, const char* inWhat) {
    if (outError != nullptr) {
        *outError = std::string(inWhat) + ": " + std::strerror(errno);
    }
    return false;
}

} // namespace

bool WriteFileAtomically(const std::string& inPath, const void* inData, std::size_t inSize,
                         std::string* outError) {
    std::string temporary = inPath + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return fail(outError, "cannot create a temporary file beside it");
    }
    ::fchmod(fd, 0644);
    const bool written = writeAll(fd, static_cast<const char*>(inData), inSize) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), inPath.c_str()) != 0) {
        if (!written) {
            errno = savedErrno;
        }
        const bool result = fail(outError, !written || !closed ? "cannot write" : "cannot replace");
        ::unlink(temporary.c_str());
        return result;
    }
    // The rename is durable once the folder is on disk too.
    const std::string::size_type slash = inPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : inPath.substr(0, slash + 1);
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}
