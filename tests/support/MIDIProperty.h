// An endpoint's string property as text ("" when it cannot be read), with the status.
#pragma once

#include "Platform/CoreMIDI.h"

#include <string>

inline std::string stringProperty(MIDIObjectRef inObject, CFStringRef inProperty,
                                  OSStatus* outStatus = nullptr) {
    CFStringRef value = nullptr;
    const OSStatus status = MIDIObjectGetStringProperty(inObject, inProperty, &value);
    if (outStatus != nullptr) {
        *outStatus = status;
    }
    char buffer[256] = "";
    if (value != nullptr) {
        CFStringGetCString(value, buffer, sizeof buffer, kCFStringEncodingUTF8);
        CFRelease(value);
    }
    return buffer;
}
