#include "Utf8.h"

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
