// The preference file: an XML property list whose root dictionary holds the integer
// "Status". Written atomically (a temporary file in the same folder, fsync, rename), so no
// crash leaves a torn file.
#pragma once

#include <cstdint>
#include <string>

class CPreferenceFile {
  public:
    explicit CPreferenceFile(std::string inPath) : mPath(std::move(inPath)) {}

    /// $XDG_CONFIG_HOME/<inIdentifier>.plist, or ~/.config/<inIdentifier>.plist.
    static std::string defaultPath(const std::string& inIdentifier);

    /// False when no file exists. Otherwise true, with outStatus the stored "Status", or 0
    /// when the file cannot be read, is no property list or has no integer "Status".
    bool load(std::int32_t& outStatus) const;
    /// Replaces the file with one holding inStatus; false when it cannot be written (the
    /// old file is then left as it was).
    bool save(std::int32_t inStatus) const;

    const std::string& path() const { return mPath; }

  private:
    std::string mPath;
};
