#include "PreferenceFile.h"

#include "Platform/AtomicFile.h"

#include <plist/plist.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kStatusKey = "Status";

struct SPlistFree {
    void operator()(plist_t inNode) const { plist_free(inNode); }
};
using PlistPtr = std::unique_ptr<std::remove_pointer_t<plist_t>, SPlistFree>;

bool readAll(const std::string& inPath, std::vector<char>& outBytes) {
    const int fd = ::open(inPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) {
            outBytes.insert(outBytes.end(), buffer, buffer + n);
        }
    }
    ::close(fd);
    return n == 0;
}

} // namespace

std::string CPreferenceFile::defaultPath(const std::string& inIdentifier) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config != nullptr && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home != nullptr ? home : "") + "/.config";
    }
    return folder + "/" + inIdentifier + ".plist";
}

bool CPreferenceFile::load(std::int32_t& outStatus) const {
    struct stat info {};
    if (::stat(mPath.c_str(), &info) != 0) {
        return false;
    }
    outStatus = 0;
    std::vector<char> bytes;
    if (!readAll(mPath, bytes) || bytes.empty()) {
        return true;
    }
    plist_t root = nullptr;
    plist_from_xml(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    const PlistPtr owned(root);
    if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) {
        return true;
    }
    plist_t status = plist_dict_get_item(root, kStatusKey);
    if (status == nullptr || plist_get_node_type(status) != PLIST_UINT) {
        return true;
    }
    std::uint64_t value = 0;
    plist_get_uint_val(status, &value);
    // The list stores integers as 64 bits; a negative status comes back in two's complement.
    outStatus = static_cast<std::int32_t>(static_cast<std::int64_t>(value));
    return true;
}

bool CPreferenceFile::save(std::int32_t inStatus) const {
    const PlistPtr root(plist_new_dict());
    plist_dict_set_item(
        root.get(), kStatusKey,
        plist_new_uint(static_cast<std::uint64_t>(static_cast<std::int64_t>(inStatus))));
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    if (xml == nullptr) {
        return false;
    }
    const std::unique_ptr<char, void (*)(char*)> ownedXml(xml, plist_to_xml_free);

    return WriteFileAtomically(mPath, xml, length);
}
