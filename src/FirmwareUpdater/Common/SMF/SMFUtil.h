// Byte-level helpers of the SMF codec: big-endian integers and variable-length quantities.
#pragma once

#include "Common/DebugUtil.h"

#include <cstdint>

namespace SMFUtil {

/// The result of fetchVariableVal for a malformed or cut-off quantity.
inline constexpr std::uint32_t kVariableValFailure = 0xFFFFFFFF;
/// The largest value a quantity can carry: four groups of 7 bits.
inline constexpr std::uint32_t kVariableValMax = 0x0FFFFFFF;

inline std::uint32_t readBE32(const std::uint8_t* inBuff) {
    return (std::uint32_t{inBuff[0]} << 24) | (std::uint32_t{inBuff[1]} << 16) |
           (std::uint32_t{inBuff[2]} << 8) | std::uint32_t{inBuff[3]};
}

inline std::uint16_t readBE16(const std::uint8_t* inBuff) {
    return static_cast<std::uint16_t>((inBuff[0] << 8) | inBuff[1]);
}

inline void writeBE32(std::uint8_t* ioBuff, std::uint32_t inValue) {
    ioBuff[0] = static_cast<std::uint8_t>(inValue >> 24);
    ioBuff[1] = static_cast<std::uint8_t>(inValue >> 16);
    ioBuff[2] = static_cast<std::uint8_t>(inValue >> 8);
    ioBuff[3] = static_cast<std::uint8_t>(inValue);
}

inline void writeBE16(std::uint8_t* ioBuff, std::uint16_t inValue) {
    ioBuff[0] = static_cast<std::uint8_t>(inValue >> 8);
    ioBuff[1] = static_cast<std::uint8_t>(inValue);
}

/// Decodes the quantity at inBuff, looking at no more than inAvailable bytes (and never
/// more than 4). Returns the number of bytes it occupies (1 to 4) and stores the value in
/// outValue; returns kVariableValFailure when the fourth byte still has bit 0x80 set or
/// when the bytes available end before the quantity does.
inline std::uint32_t fetchVariableVal(const std::uint8_t* inBuff, std::uint32_t inAvailable,
                                      std::uint32_t& outValue) {
    const std::uint32_t limit = inAvailable < 4 ? inAvailable : 4;
    std::uint32_t value = 0;
    for (std::uint32_t i = 0; i < limit; ++i) {
        value = (value << 7) | (inBuff[i] & 0x7Fu);
        if ((inBuff[i] & 0x80u) == 0) {
            outValue = value;
            return i + 1;
        }
    }
    return kVariableValFailure;
}

/// The number of 7-bit groups inValue needs: 1 for 0, up to 5 for values that no
/// quantity can carry (above kVariableValMax).
inline std::uint32_t getVariableValSize(std::uint32_t inValue) {
    std::uint32_t count = 1;
    while (inValue > 0x7F) {
        inValue >>= 7;
        ++count;
    }
    return count;
}

/// Writes inValue as a quantity of exactly inBytes bytes (1 to 4), most significant group
/// first. inValue must fit in those bytes.
inline void setVariableVal(std::uint8_t* ioBuff, std::uint32_t inValue, std::uint32_t inBytes) {
    DTA_ASSERT(0 != ioBuff);
    DTA_ASSERT(inBytes >= 1 && inBytes <= 4 && (inValue >> (7 * inBytes)) == 0);
    for (std::uint32_t k = 0; k < inBytes; ++k) {
        const std::uint32_t shift = 7 * (inBytes - 1 - k);
        const std::uint8_t more = k + 1 < inBytes ? 0x80 : 0x00;
        ioBuff[k] = static_cast<std::uint8_t>(((inValue >> shift) & 0x7F) | more);
    }
}

} // namespace SMFUtil
