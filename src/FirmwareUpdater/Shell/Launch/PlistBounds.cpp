#include "Shell/Launch/PlistBounds.h"

#include "Shell/Localization.h"

#include <cctype>
#include <cstring>
#include <string_view>

namespace {

std::string tooDeep() {
    return formatted(_("nests deeper than %u levels"), kMaxPlistDepth);
}

// Skips what holds no element, so that the tags it may contain count for nothing:
// comments, CDATA, the declaration and doctype. Returns the position after it.
std::size_t skipMarkup(std::string_view inText, std::size_t inAt) {
    const auto past = [&](std::string_view inEnd) {
        const std::size_t end = inText.find(inEnd, inAt);
        return end == std::string_view::npos ? inText.size() : end + inEnd.size();
    };
    if (inText.substr(inAt, 4) == "<!--") {
        return past("-->");
    }
    if (inText.substr(inAt, 9) == "<![CDATA[") {
        return past("]]>");
    }
    return past(">");
}

std::string xmlBoundsProblem(std::string_view inText) {
    unsigned depth = 0;
    for (std::size_t at = inText.find('<'); at != std::string_view::npos;
         at = inText.find('<', at)) {
        if (at + 1 < inText.size() && (inText[at + 1] == '!' || inText[at + 1] == '?')) {
            at = skipMarkup(inText, at);
            continue;
        }
        const bool closing = at + 1 < inText.size() && inText[at + 1] == '/';
        const std::size_t nameStart = at + (closing ? 2 : 1);
        std::size_t nameEnd = nameStart;
        while (nameEnd < inText.size() &&
               std::isalpha(static_cast<unsigned char>(inText[nameEnd]))) {
            ++nameEnd;
        }
        const std::string_view name = inText.substr(nameStart, nameEnd - nameStart);
        const std::size_t end = inText.find('>', nameEnd);
        at = end == std::string_view::npos ? inText.size() : end + 1;
        if (name != "dict" && name != "array") {
            continue;
        }
        if (closing) {
            depth -= depth > 0 ? 1 : 0;
        } else if (inText[at - 2] != '/' && ++depth > kMaxPlistDepth) {
            return tooDeep();
        }
    }
    return {};
}

std::uint64_t bigEndian(const std::uint8_t* inBytes, unsigned inCount) {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < inCount; ++i) {
        value = (value << 8) | inBytes[i];
    }
    return value;
}

// "bplist00", objects, a table of their offsets, and a trailer of 32 bytes: 6 unused, the
// size of an offset, the size of a reference, the object count, the top object and the
// table's offset (8 bytes each). Walks the containers from the top one with a stack of its
// own, counting every object the library would make.
std::string binaryBoundsProblem(const std::vector<std::uint8_t>& inBytes) {
    const std::string malformed = _("is no property-list dictionary");
    constexpr std::size_t kHeader = 8;
    constexpr std::size_t kTrailer = 32;
    if (inBytes.size() < kHeader + kTrailer) {
        return malformed;
    }
    const std::uint8_t* trailer = inBytes.data() + inBytes.size() - kTrailer;
    const unsigned offsetSize = trailer[6];
    const unsigned referenceSize = trailer[7];
    const std::uint64_t count = bigEndian(trailer + 8, 8);
    const std::uint64_t top = bigEndian(trailer + 16, 8);
    const std::uint64_t table = bigEndian(trailer + 24, 8);
    const std::uint64_t objectsEnd = inBytes.size() - kTrailer;
    if (offsetSize < 1 || offsetSize > 8 || referenceSize < 1 || referenceSize > 8 ||
        top >= count || table < kHeader || table > objectsEnd ||
        count > (objectsEnd - table) / offsetSize) {
        return malformed;
    }
    struct SPending {
        std::uint64_t object;
        unsigned depth; // of the container that refers to it
    };
    std::vector<SPending> pending = {{top, 0}};
    std::size_t objects = 1;
    while (!pending.empty()) {
        const SPending next = pending.back();
        pending.pop_back();
        const std::uint64_t offset =
            bigEndian(inBytes.data() + table + next.object * offsetSize, offsetSize);
        if (offset < kHeader || offset >= table) {
            return malformed;
        }
        const std::uint8_t marker = inBytes[offset];
        const unsigned kind = marker >> 4;
        const bool dictionary = kind == 0xD;
        if (!dictionary && kind != 0xA && kind != 0xC) { // array, set
            continue;
        }
        if (next.depth + 1 > kMaxPlistDepth) {
            return tooDeep();
        }
        std::uint64_t length = marker & 0x0F;
        std::uint64_t at = offset + 1;
        if (length == 0x0F) { // the length follows as an integer object of 2^n bytes
            if (at >= table || inBytes[at] >> 4 != 0x1 || (inBytes[at] & 0x0F) > 3) {
                return malformed;
            }
            const unsigned bytes = 1u << (inBytes[at] & 0x0F);
            if (bytes > table - at - 1) {
                return malformed;
            }
            length = bigEndian(inBytes.data() + at + 1, bytes);
            at += 1 + bytes;
        }
        const std::uint64_t references = dictionary ? 2 * length : length;
        if (length > table || references > (table - at) / referenceSize) {
            return malformed;
        }
        if (objects + references > kMaxPlistObjects) {
            return formatted(_("holds more than %zu objects"), kMaxPlistObjects);
        }
        objects += references;
        for (std::uint64_t i = 0; i < references; ++i) {
            const std::uint64_t child =
                bigEndian(inBytes.data() + at + i * referenceSize, referenceSize);
            if (child >= count) {
                return malformed;
            }
            pending.push_back({child, next.depth + 1});
        }
    }
    return {};
}

} // namespace

bool plistWithinBounds(const std::vector<std::uint8_t>& inBytes, std::string& outWhy) {
    static constexpr std::string_view kBinary = "bplist00";
    const bool binary = inBytes.size() >= kBinary.size() &&
                        std::memcmp(inBytes.data(), kBinary.data(), kBinary.size()) == 0;
    outWhy = binary ? binaryBoundsProblem(inBytes)
                    : xmlBoundsProblem(std::string_view(
                          reinterpret_cast<const char*>(inBytes.data()), inBytes.size()));
    return outWhy.empty();
}
