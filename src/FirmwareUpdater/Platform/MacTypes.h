// The basic types and status conventions of the platform interfaces that the updater is
// written against, so its code reads the same on Linux as on the platform it was designed for.
#pragma once

#include <cstdint>

using OSStatus = std::int32_t; // 0 is success, every failure is non-zero
using Duration = std::int32_t; // a time-out; only kDurationForever is used

inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus paramErr = -50;    // a null or otherwise unusable argument
inline constexpr OSStatus memFullErr = -108; // no memory for a new object

inline constexpr Duration kDurationForever = 0x7FFFFFFF;
