#include "Shell/Launch/StatusLock.h"

#include "Platform/AtomicFile.h"
#include "Shell/Localization.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// True while inFd is the file that inPath names.
bool isNamed(int inFd, const char* inPath) {
    struct stat held {};
    struct stat named {};
    return ::fstat(inFd, &held) == 0 && ::lstat(inPath, &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// A lock file of ours: made here, or left by an updater that was killed. Never followed
// through a link, and a FIFO or a device is no lock file.
int openLockFile(const char* inPath, std::string& outWhy) {
    int fd = ::open(inPath, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) {
        fd = ::open(inPath, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }
    if (fd < 0) {
        outWhy = errno == ELOOP ? _("it is a symbolic link") : std::strerror(errno);
        return -1;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        outWhy = _("it is no regular file");
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::string CStatusLock::pathFor(const std::string& inStatusPath) {
    std::error_code error;
    const std::filesystem::path file =
        std::filesystem::weakly_canonical(FollowLinks(inStatusPath), error);
    return (error ? std::filesystem::path(FollowLinks(inStatusPath)) : file).string() + ".lock";
}

CStatusLock::EResult CStatusLock::take(const std::string& inStatusPath, std::string& outWhy) {
    release();
    mPath = pathFor(inStatusPath);
    if (const EResult taken = takeFile(outWhy); taken != EResult::kTaken) {
        return taken;
    }
    // Not there yet, or no regular file (refused or set aside later): only the lock file.
    const int fd = ::open(inStatusPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat status {};
    if (fd >= 0 && ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            release();
            return EResult::kHeldElsewhere;
        }
        mStatusFd = fd;
    } else if (fd >= 0) {
        ::close(fd);
    }
    return EResult::kTaken;
}

CStatusLock::EResult CStatusLock::takeFile(std::string& outWhy) {
    // Each retry means another updater removed the file between our open and our lock: it
    // ended, so a few are plenty.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = openLockFile(mPath.c_str(), outWhy);
        if (fd < 0) {
            return EResult::kUnavailable;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) {
                return EResult::kHeldElsewhere;
            }
            outWhy = std::strerror(error);
            return EResult::kUnavailable;
        }
        if (isNamed(fd, mPath.c_str())) {
            mFd = fd;
            return EResult::kTaken;
        }
        ::close(fd);
    }
    outWhy = _("it kept changing");
    return EResult::kUnavailable;
}

void CStatusLock::release() {
    if (mStatusFd >= 0) {
        ::close(mStatusFd);
        mStatusFd = -1;
    }
    if (mFd < 0) {
        return;
    }
    if (isNamed(mFd, mPath.c_str())) {
        ::unlink(mPath.c_str());
    }
    ::close(mFd);
    mFd = -1;
}
