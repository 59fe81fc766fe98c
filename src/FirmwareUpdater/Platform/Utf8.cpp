#include "Utf8.h"

#include <cstdio>

namespace {

// Whether a terminal would act on inCode instead of showing it: C0 and C1 controls, DEL,
// and the marks that turn the direction of what follows (a name could hide its end).
bool actsOnTerminal(std::uint32_t inCode) {
    return inCode < 0x20 || (inCode >= 0x7F && inCode <= 0x9F) || inCode == 0x061C ||
           inCode == 0x200E || inCode == 0x200F || (inCode >= 0x202A && inCode <= 0x202E) ||
           (inCode >= 0x2066 && inCode <= 0x2069);
}

} // namespace

std::size_t Utf8SequenceLength(std::string_view inText, std::uint32_t* outCode) {
    if (inText.empty()) {
        return 0;
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(inText[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 1;
    std::uint32_t minimum = 0;
    std::uint32_t code = lead;
    // Leads 0xC0, 0xC1 and 0xF5 up could only start overlong or too large sequences.
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, code = lead & 0x07u;
    } else if (lead >= 0x80) {
        return 0;
    }
    if (length > inText.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    if (outCode != nullptr) {
        *outCode = code;
    }
    return length;
}

std::string PrintableText(std::string_view inText) {
    std::string shown;
    while (!inText.empty()) {
        std::uint32_t code = 0;
        const std::size_t length = Utf8SequenceLength(inText, &code);
        char escaped[16];
        if (length == 0 || (length == 1 && (actsOnTerminal(code) || code == '\\'))) {
            std::snprintf(escaped, sizeof escaped, "\\x%02X",
                          static_cast<unsigned char>(inText[0]));
            shown += escaped;
            inText.remove_prefix(1);
        } else if (actsOnTerminal(code)) {
            std::snprintf(escaped, sizeof escaped, "\\u{%04X}", static_cast<unsigned>(code));
            shown += escaped;
            inText.remove_prefix(length);
        } else {
            shown += inText.substr(0, length);
            inText.remove_prefix(length);
        }
    }
    return shown;
}
