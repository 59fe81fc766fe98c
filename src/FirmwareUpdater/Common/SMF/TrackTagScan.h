// Finding the four characters "MTrk" anywhere in a file, for the reader's pre-check.
#pragma once

#include <cstdint>

/// The first position p with inFrom <= p <= inLast at which inBuff holds "MTrk", or
/// inLast + 1 if there is none. inBuff must hold at least inLast + 4 bytes.
std::uint32_t findTrackTag(const std::uint8_t* inBuff, std::uint32_t inFrom, std::uint32_t inLast);
