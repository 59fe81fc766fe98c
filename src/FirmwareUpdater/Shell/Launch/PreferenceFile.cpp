#include "Shell/Launch/PreferenceFile.h"

#include "Platform/AtomicFile.h"
#include "Platform/FileRead.h"
#include "Platform/Utf8.h"
#include "Shell/Launch/PlistBounds.h"
#include "Shell/Localization.h"

#include <plist/plist.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <pwd.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr const char* kStatusKey = "Status";

struct SPlistFree {
    void operator()(plist_t inNode) const { plist_free(inNode); }
};
using PlistPtr = std::unique_ptr<std::remove_pointer_t<plist_t>, SPlistFree>;

// The root dictionary of XML or binary property-list bytes; null, with why in outProblem,
// when they hold none or one the library cannot safely take.
PlistPtr parseDictionary(const std::vector<std::uint8_t>& inBytes, std::string& outProblem) {
    if (!plistWithinBounds(inBytes, outProblem)) {
        return nullptr;
    }
    plist_t root = nullptr;
    const auto* data = reinterpret_cast<const char*>(inBytes.data());
    auto size = static_cast<std::uint32_t>(inBytes.size());
    // Editors may put a byte-order mark before the XML; the reader takes none.
    if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
        data += 3;
        size -= 3;
    }
    if (plist_is_binary(data, size) != 0) {
        plist_from_bin(data, size, &root);
    } else {
        plist_from_xml(data, size, &root);
    }
    PlistPtr owned(root);
    if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) {
        outProblem = _("is no property-list dictionary");
        return nullptr;
    }
    return owned;
}

// Moves inPath to the first free name of <inPath>.bad, .bad.1, ...: an earlier one may be
// the only record of a begun transfer. False with errno set when it cannot be moved.
bool setAside(const std::string& inPath, std::string& outAside) {
    for (unsigned n = 0; n < 1000; ++n) {
        outAside = inPath + ".bad";
        if (n > 0) {
            outAside += '.';
            outAside += std::to_string(n);
        }
        if (::renameat2(AT_FDCWD, inPath.c_str(), AT_FDCWD, outAside.c_str(), RENAME_NOREPLACE) ==
            0) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

} // namespace

struct CPreferenceFile::SLoaded {
    PlistPtr dictionary;
};

CPreferenceFile::CPreferenceFile(std::string inPath) : mPath(std::move(inPath)) {}
CPreferenceFile::~CPreferenceFile() = default;
CPreferenceFile::CPreferenceFile(CPreferenceFile&&) noexcept = default;
CPreferenceFile& CPreferenceFile::operator=(CPreferenceFile&&) noexcept = default;

std::string CPreferenceFile::defaultPath(const std::string& inIdentifier) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config != nullptr && config[0] == '/') {
        folder = config;
    } else {
        // Without HOME the account's own home, not the root of the filesystem.
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/') {
            const passwd* account = ::getpwuid(::getuid());
            home = account != nullptr ? account->pw_dir : "";
        }
        folder = std::string(home) + "/.config";
    }
    return folder + "/" + inIdentifier + ".plist";
}

std::string CPreferenceFile::refusalOf(const std::string& inPath) {
    struct stat info {};
    if (::stat(inPath.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            return std::strerror(errno);
        }
        // Made at the first save: only where its folder is.
        std::error_code error;
        const std::filesystem::path folder =
            std::filesystem::path(FollowLinks(inPath)).parent_path();
        return folder.empty() || std::filesystem::is_directory(folder, error)
                   ? std::string()
                   : _("its folder does not exist");
    }
    std::vector<std::uint8_t> bytes;
    std::string problem;
    if (!ReadWholeFile(inPath, EFileKind::kRegularOnly, kMaxBytes, bytes, problem) ||
        bytes.empty()) {
        return problem; // an empty file is a place to start, as no file is
    }
    parseDictionary(bytes, problem);
    return problem;
}

bool CPreferenceFile::load(std::int32_t& outStatus) {
    mProblem.clear();
    mLoaded.reset();
    // Nothing there yet, also behind a link to a file not made yet (the save makes it).
    struct stat info {};
    if (::stat(mPath.c_str(), &info) != 0 && errno == ENOENT) {
        return false;
    }
    outStatus = 0;
    std::vector<std::uint8_t> bytes;
    std::string problem;
    const bool read = ReadWholeFile(mPath, EFileKind::kRegularOnly, kMaxBytes, bytes, problem);
    if (read && bytes.empty()) {
        return false; // nothing stored yet: the save writes it
    }
    PlistPtr dictionary;
    if (read) {
        dictionary = parseDictionary(bytes, problem);
    }
    if (dictionary == nullptr) {
        std::string aside;
        if (setAside(mPath, aside)) {
            mProblem = PrintableText(mPath) + ": " + problem + "; " + _("it was kept as") + " " +
                       PrintableText(aside);
        } else {
            mKeepOff = true;
            mProblem = PrintableText(mPath) + ": " + problem + "; " +
                       _("it cannot be set aside and will not be replaced") + " (" +
                       std::strerror(errno) + ")";
        }
        return true;
    }
    if (plist_t status = plist_dict_get_item(dictionary.get(), kStatusKey);
        status != nullptr && plist_get_node_type(status) == PLIST_UINT) {
        std::uint64_t value = 0;
        plist_get_uint_val(status, &value);
        // The list stores integers as 64 bits; a negative status comes back in two's
        // complement. One beyond 32 bits keeps its sign, never becomes 0 ("nothing begun").
        outStatus = static_cast<std::int32_t>(std::clamp<std::int64_t>(
            static_cast<std::int64_t>(value), std::numeric_limits<std::int32_t>::min(),
            std::numeric_limits<std::int32_t>::max()));
    }
    mLoaded = std::make_unique<SLoaded>(SLoaded{std::move(dictionary)});
    return true;
}

bool CPreferenceFile::save(std::int32_t inStatus) {
    mProblem.clear();
    if (mKeepOff) {
        mProblem = PrintableText(mPath) + ": " +
                   _("it could not be read or set aside and is not replaced");
        return false;
    }
    const auto encode = [inStatus](plist_t inKept) {
        const PlistPtr root(inKept != nullptr ? plist_copy(inKept) : plist_new_dict());
        plist_dict_set_item(
            root.get(), kStatusKey,
            plist_new_uint(static_cast<std::uint64_t>(static_cast<std::int64_t>(inStatus))));
        char* xml = nullptr;
        std::uint32_t length = 0;
        plist_to_xml(root.get(), &xml, &length);
        return std::pair(std::unique_ptr<char, void (*)(char*)>(xml, plist_to_xml_free), length);
    };
    auto [xml, length] = encode(mLoaded != nullptr ? mLoaded->dictionary.get() : nullptr);
    // Written as indented XML, the other keys may outgrow what is read back: the status alone
    // then, so that the next run reads what this one wrote.
    if (xml != nullptr && length > kMaxBytes) {
        std::tie(xml, length) = encode(nullptr);
    }
    if (xml == nullptr) {
        mProblem = _("cannot encode the property list");
        return false;
    }
    std::string error;
    if (!WriteFileAtomically(mPath, xml.get(), length, &error)) {
        mProblem = PrintableText(mPath) + ": " + error;
        return false;
    }
    return true;
}
