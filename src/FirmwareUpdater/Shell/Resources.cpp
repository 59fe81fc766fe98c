#include "Shell/Resources.h"

#include <filesystem>
#include <system_error>

#ifndef VYR_DATA_DIR
#define VYR_DATA_DIR "/usr/local/share/vyr-updater"
#endif

std::string findResource(const std::string& inName, const std::string& inType) {
    namespace fs = std::filesystem;
    const std::string file = inName + "." + inType;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    // bin/ and share/ are siblings both in the build tree and under the install prefix.
    const fs::path candidates[] = {program.parent_path().parent_path() / "share" / "vyr-updater" /
                                       file,
                                   fs::path(VYR_DATA_DIR) / file};
    for (const fs::path& candidate : candidates) {
        if (!error && fs::is_regular_file(candidate, error)) {
            return candidate.string();
        }
        error.clear();
    }
    return {};
}
