// The preference file: a property list whose root dictionary holds the integer "Status".
// Read as XML or binary; written as XML, atomically (a temporary file in the same folder,
// fsync, rename), so no crash leaves a torn file. Keys it does not know are kept.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CPreferenceFile {
  public:
    /// The largest file read; a status file is a few hundred bytes.
    static constexpr std::size_t kMaxBytes = 1u << 20;

    explicit CPreferenceFile(std::string inPath);
    ~CPreferenceFile();
    CPreferenceFile(CPreferenceFile&&) noexcept;
    CPreferenceFile& operator=(CPreferenceFile&&) noexcept;

    /// $XDG_CONFIG_HOME/<inIdentifier>.plist, or ~/.config/<inIdentifier>.plist.
    static std::string defaultPath(const std::string& inIdentifier);
    /// Why inPath cannot be a status file that the user named, or "": it may be nothing yet
    /// in a folder that exists, an empty file, or a regular file (or a link to one) holding a
    /// property-list dictionary. Anything else (a folder, a device, a FIFO, another file) must
    /// never be moved, replaced or written.
    static std::string refusalOf(const std::string& inPath);

    /// False when no file exists, or an empty one. Otherwise true, with outStatus the stored
    /// "Status", or 0 when the dictionary holds none. A file that is no readable property-list
    /// dictionary is set aside as <path>.bad (.bad.1, .bad.2 ... when that is taken: never
    /// overwritten), so that nothing overwrites what may be the only record of a begun transfer,
    /// and problem() says so; outStatus is 0 then.
    [[nodiscard]] bool load(std::int32_t& outStatus);
    /// Writes inStatus beside the other keys last loaded, through a symlink to its target.
    /// False when it cannot be written, with the reason in problem(); the old file is then
    /// as it was.
    [[nodiscard]] bool save(std::int32_t inStatus);

    const std::string& path() const { return mPath; }
    /// What went wrong in the last load or save, or "".
    const std::string& problem() const { return mProblem; }

  private:
    struct SLoaded;

    std::string mPath;
    std::unique_ptr<SLoaded> mLoaded; // the dictionary last loaded, if any
    std::string mProblem;
    bool mKeepOff = false; // an unreadable file could not be set aside: never replace it
};
