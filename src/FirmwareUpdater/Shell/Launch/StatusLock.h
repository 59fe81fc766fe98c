// One updater per status file, held for the launch. Two locks make it: a lock file
// "<status>.lock" beside the file (the file may not exist yet, and every save replaces it),
// and the status file itself as it was when the run began, so that its other names (hard
// links) share the lock. The lock file is removed while still locked, so an updater that was
// just then taking it finds its file gone from the folder and takes the new one instead.
// Nothing that is no regular file is ever opened, created or removed at the lock's path.
#pragma once

#include <string>

class CStatusLock {
  public:
    enum class EResult {
        kTaken,
        kHeldElsewhere, // another process holds it
        kUnavailable,   // cannot be made (no folder, no permission, something else there)
    };

    CStatusLock() = default;
    ~CStatusLock() { release(); }
    CStatusLock(const CStatusLock&) = delete;
    CStatusLock& operator=(const CStatusLock&) = delete;

    /// The lock file of a status file: beside the file it names, links followed and the
    /// folder's path made canonical, so that every name of one status file shares a lock.
    static std::string pathFor(const std::string& inStatusPath);

    /// Takes the lock of the status file inStatusPath; kUnavailable with the reason (the
    /// system's words) in outWhy.
    [[nodiscard]] EResult take(const std::string& inStatusPath, std::string& outWhy);
    /// The lock file taken last.
    const std::string& path() const { return mPath; }
    /// Removes the lock file and lets go; nothing when none is held. Async-signal-safe.
    void release();

  private:
    [[nodiscard]] EResult takeFile(std::string& outWhy);

    std::string mPath;
    int mFd = -1;
    int mStatusFd = -1;
};
