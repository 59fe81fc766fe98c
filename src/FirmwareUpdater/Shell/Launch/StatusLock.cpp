#include "Shell/Launch/StatusLock.h"

#include "Platform/AtomicFile.h"

#include <cerrno>
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
    return ::fstat(inFd, &held) == 0 && ::stat(inPath, &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

} // namespace

std::string CStatusLock::pathFor(const std::string& inStatusPath) {
    std::error_code error;
    const std::filesystem::path file =
        std::filesystem::weakly_canonical(FollowLinks(inStatusPath), error);
    return (error ? std::filesystem::path(FollowLinks(inStatusPath)) : file).string() + ".lock";
}

CStatusLock::EResult CStatusLock::take(const std::string& inPath) {
    release();
    mPath = inPath;
    // Each retry means another updater removed the file between our open and our lock: it
    // ended, so a few are plenty.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(mPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            return EResult::kUnavailable;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool held = errno == EWOULDBLOCK;
            ::close(fd);
            return held ? EResult::kHeldElsewhere : EResult::kUnavailable;
        }
        if (isNamed(fd, mPath.c_str())) {
            mFd = fd;
            return EResult::kTaken;
        }
        ::close(fd);
    }
    return EResult::kUnavailable;
}

void CStatusLock::release() {
    if (mFd < 0) {
        return;
    }
    if (isNamed(mFd, mPath.c_str())) {
        ::unlink(mPath.c_str());
    }
    ::close(mFd);
    mFd = -1;
}
