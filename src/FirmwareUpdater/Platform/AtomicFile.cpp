#include "AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
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

// A loop of links stops after a few turns; the stat that follows fails with the system's own
// reason.
std::string FollowLinks(std::string inPath) {
    for (int turn = 0; turn < 40; ++turn) {
        std::error_code error;
        const std::filesystem::path link = std::filesystem::read_symlink(inPath, error);
        if (error) {
            break;
        }
        inPath = link.is_absolute() ? link.string()
                                    : (std::filesystem::path(inPath).parent_path() / link).string();
    }
    return inPath;
}

bool WriteFileAtomically(const std::string& inLinkOrPath, const void* inData, std::size_t inSize,
                         std::string* outError) {
    // A symlink stays a link: the file it names is replaced.
    const std::string inPath = FollowLinks(inLinkOrPath);
    mode_t mode = 0;
    struct stat existing {};
    if (::stat(inPath.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            errno = EINVAL;
            if (outError != nullptr) {
                *outError = "is not a regular file (a device, FIFO or directory): not replacing it";
            }
            return false;
        }
        mode = existing.st_mode & 07777; // the file keeps its mode
    } else if (errno != ENOENT) {
        // A loop of links, say: replacing the path would put a file where a link was.
        return fail(outError, "cannot reach it");
    } else {
        mode = ::umask(0);
        ::umask(mode);
        mode = 0666 & ~mode; // a new file as any other program would create it
    }
    std::string temporary = inPath + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return fail(outError, "cannot create a temporary file beside it");
    }
    ::fchmod(fd, mode);
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
