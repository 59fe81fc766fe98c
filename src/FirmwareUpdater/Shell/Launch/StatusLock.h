// One updater per status file: an exclusive lock on the file "<status>.lock", held for the
// launch and removed when it ends. It is removed while still locked, so an updater that was
// just then taking it finds its file gone from the folder and takes the new one instead.
#pragma once

#include <string>

class CStatusLock {
  public:
    enum class EResult {
        kTaken,
        kHeldElsewhere, // another process holds it
        kUnavailable,   // cannot be made (no folder, no permission): nothing to hold
    };

    CStatusLock() = default;
    ~CStatusLock() { release(); }
    CStatusLock(const CStatusLock&) = delete;
    CStatusLock& operator=(const CStatusLock&) = delete;

    /// The lock file of a status file: beside the file it names, links followed and the
    /// folder's path made canonical, so that every name of one status file shares a lock.
    static std::string pathFor(const std::string& inStatusPath);

    EResult take(const std::string& inPath);
    /// Removes the lock file and lets go; nothing when none is held. Async-signal-safe.
    void release();

  private:
    std::string mPath;
    int mFd = -1;
};
