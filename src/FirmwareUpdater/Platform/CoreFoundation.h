// The small part of the platform's string library that the MIDI transport uses:
// reference-counted immutable strings with UTF-8 inside. Any thread may use them.
#pragma once

#include "MacTypes.h"

#include <cstdint>

using CFIndex = long;
using CFStringEncoding = std::uint32_t;
using CFOptionFlags = unsigned long;
using Boolean = bool;

struct OpaqueCFString;
using CFStringRef = const OpaqueCFString*;
using CFTypeRef = const void*;
using CFAllocatorRef = const void*;
using CFDictionaryRef = const void*;

enum CFComparisonResult : CFIndex {
    kCFCompareLessThan = -1,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1,
};

inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;
inline constexpr CFIndex kCFNotFound = -1;

/// A new string holding a copy of the zero-terminated inText, or null if inText is null or
/// not valid in inEncoding (only UTF-8 is supported). The caller releases it.
CFStringRef CFStringCreateWithCString(CFAllocatorRef inAllocator, const char* inText,
                                      CFStringEncoding inEncoding);

/// A new string from a format in which "%@" stands for a CFStringRef argument and "%%" for a
/// percent sign; no other conversion is supported (null is returned). The caller releases it.
CFStringRef CFStringCreateWithFormat(CFAllocatorRef inAllocator, CFDictionaryRef inOptions,
                                     CFStringRef inFormat, ...);

/// A string that lives as long as the process, for literals; releasing it does nothing.
CFStringRef CFStringMakeConstant(const char* inText);
#define CFSTR(literal) (::CFStringMakeConstant("" literal ""))

/// Adds or removes one reference; the last release frees the string. Null is ignored.
CFTypeRef CFRetain(CFTypeRef inObject);
void CFRelease(CFTypeRef inObject);

/// The encoding of the system: UTF-8.
CFStringEncoding CFStringGetSystemEncoding();

/// The string's length in UTF-16 code units, as the platform counts it.
CFIndex CFStringGetLength(CFStringRef inString);

/// The most bytes inLength UTF-16 units can take in inEncoding, or kCFNotFound.
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex inLength, CFStringEncoding inEncoding);

/// Copies the text and a terminating zero into ioBuffer if it fits in inBufferSize bytes and
/// inEncoding is supported; returns false otherwise (ioBuffer then holds no defined text).
Boolean CFStringGetCString(CFStringRef inString, char* ioBuffer, CFIndex inBufferSize,
                           CFStringEncoding inEncoding);

/// Byte-wise comparison (options are not supported and must be 0).
CFComparisonResult CFStringCompare(CFStringRef inA, CFStringRef inB, CFOptionFlags inOptions);
