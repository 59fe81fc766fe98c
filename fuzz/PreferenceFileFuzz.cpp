// Arbitrary bytes as the preference file: never a crash, and always a defined result. An
// empty file holds nothing yet; one that reads as a dictionary gives a status and no problem,
// and what is saved over it reads back; anything else is set aside whole as <name>.bad with
// a problem told, and the file itself is gone.
#include "Shell/Launch/PreferenceFile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void check(bool inCondition) {
    if (!inCondition) {
        std::abort();
    }
}

// In memory where the system has it: the fuzzer writes a file for every input. A fresh
// folder, gone when the fuzzer ends.
struct STemporaryFolder {
    std::string path;
    ~STemporaryFolder() { std::filesystem::remove_all(path); }
};

const std::string& folder() {
    static const STemporaryFolder sFolder = [] {
        const char* shm = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string path = std::string(shm) + "/vyr-prefs-fuzz-XXXXXX";
        check(mkdtemp(path.data()) != nullptr);
        return STemporaryFolder{path};
    }();
    return sFolder.path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* inData, std::size_t inSize) {
    const std::string path = folder() + "/status.plist";
    const std::string aside = path + ".bad";
    std::remove(aside.c_str());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(inData), static_cast<std::streamsize>(inSize));
    CPreferenceFile file(path);
    std::int32_t status = 12345;
    // An empty file is a place to start: nothing stored, nothing set aside.
    if (inSize == 0) {
        check(!file.load(status) && file.problem().empty());
        return 0;
    }
    check(file.load(status));
    struct stat info {};
    if (file.problem().empty()) {
        check(stat(path.c_str(), &info) == 0 && stat(aside.c_str(), &info) != 0);
        check(file.save(7));
        std::int32_t saved = 0;
        CPreferenceFile again(path);
        check(again.load(saved) && again.problem().empty() && saved == 7);
    } else {
        check(status == 0);
        check(stat(path.c_str(), &info) != 0);
        check(stat(aside.c_str(), &info) == 0 && static_cast<std::size_t>(info.st_size) == inSize);
    }
    return 0;
}
