#include "CoreFoundation.h"
#include "Utf8.h"

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

struct OpaqueCFString {
    std::string text;
    bool constant = false;
    mutable std::atomic<long> references{1};
};

namespace {

bool isValidUtf8(const std::string& inText, CFIndex& outUtf16Length) {
    CFIndex units = 0;
    for (std::size_t at = 0; at < inText.size();) {
        std::uint32_t code = 0;
        const std::size_t length = Utf8SequenceLength(std::string_view(inText).substr(at), &code);
        if (length == 0) {
            return false;
        }
        units += code >= 0x10000 ? 2 : 1;
        at += length;
    }
    outUtf16Length = units;
    return true;
}

CFStringRef newString(std::string inText) {
    CFIndex length = 0;
    if (!isValidUtf8(inText, length)) {
        return nullptr;
    }
    auto* string = new OpaqueCFString;
    string->text = std::move(inText);
    return string;
}

} // namespace

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* inText,
                                      CFStringEncoding inEncoding) {
    if (inText == nullptr || inEncoding != kCFStringEncodingUTF8) {
        return nullptr;
    }
    return newString(inText);
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef, CFDictionaryRef, CFStringRef inFormat, ...) {
    if (inFormat == nullptr) {
        return nullptr;
    }
    std::string text;
    va_list arguments;
    va_start(arguments, inFormat);
    const std::string& format = inFormat->text;
    bool supported = true;
    for (std::size_t i = 0; i < format.size() && supported; ++i) {
        if (format[i] != '%') {
            text += format[i];
        } else if (i + 1 < format.size() && format[i + 1] == '%') {
            text += '%';
            ++i;
        } else if (i + 1 < format.size() && format[i + 1] == '@') {
            const auto argument = va_arg(arguments, CFStringRef);
            text += argument != nullptr ? argument->text : "(null)";
            ++i;
        } else {
            supported = false;
        }
    }
    va_end(arguments);
    return supported ? newString(std::move(text)) : nullptr;
}

CFStringRef CFStringMakeConstant(const char* inText) {
    // Each distinct literal is made once and kept for the life of the process.
    static std::mutex mutex;
    static auto* strings = new std::unordered_map<std::string, OpaqueCFString*>;
    const std::lock_guard<std::mutex> lock(mutex);
    OpaqueCFString*& string = (*strings)[inText];
    if (string == nullptr) {
        string = new OpaqueCFString;
        string->text = inText;
        string->constant = true;
    }
    return string;
}

CFTypeRef CFRetain(CFTypeRef inObject) {
    if (inObject != nullptr) {
        static_cast<CFStringRef>(inObject)->references.fetch_add(1, std::memory_order_relaxed);
    }
    return inObject;
}

void CFRelease(CFTypeRef inObject) {
    const auto string = static_cast<CFStringRef>(inObject);
    if (string == nullptr || string->constant) {
        return;
    }
    if (string->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete string;
    }
}

CFStringEncoding CFStringGetSystemEncoding() {
    return kCFStringEncodingUTF8;
}

CFIndex CFStringGetLength(CFStringRef inString) {
    CFIndex length = 0;
    return inString != nullptr && isValidUtf8(inString->text, length) ? length : 0;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex inLength, CFStringEncoding inEncoding) {
    // One UTF-16 unit takes at most 3 UTF-8 bytes (a pair of units, 4).
    return inEncoding == kCFStringEncodingUTF8 && inLength >= 0 ? inLength * 3 : kCFNotFound;
}

Boolean CFStringGetCString(CFStringRef inString, char* ioBuffer, CFIndex inBufferSize,
                           CFStringEncoding inEncoding) {
    if (inString == nullptr || ioBuffer == nullptr || inEncoding != kCFStringEncodingUTF8 ||
        inBufferSize < 0 || inString->text.size() >= static_cast<std::size_t>(inBufferSize)) {
        return false;
    }
    std::memcpy(ioBuffer, inString->text.c_str(), inString->text.size() + 1);
    return true;
}

CFComparisonResult CFStringCompare(CFStringRef inA, CFStringRef inB, CFOptionFlags) {
    const int order = inA->text.compare(inB->text);
    return order < 0 ? kCFCompareLessThan : order > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo;
}
