#include "Shell/Launch/Resources.h"

#include <filesystem>
#include <system_error>

#ifndef VYR_DATA_DIR
#define VYR_DATA_DIR "/usr/local/share/vyr-updater"
#endif

std::string findBesideProgram(const std::string& inRelative) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    // bin/ and share/ are siblings both in the build tree and under the install prefix.
    const fs::path candidate = program.parent_path().parent_path() / "share" / inRelative;
    return !error && fs::exists(candidate, error) ? candidate.string() : std::string();
}

std::string findResource(const std::string& inName, const std::string& inType) {
    namespace fs = std::filesystem;
    const std::string file = inName + "." + inType;
    if (std::string beside = findBesideProgram("vyr-updater/" + file); !beside.empty()) {
        return beside;
    }
    std::error_code error;
    const fs::path installed = fs::path(VYR_DATA_DIR) / file;
    return fs::is_regular_file(installed, error) ? installed.string() : std::string();
}
