// Every message shown to the user is looked up in the string table with its English text
// as key: the English text itself unless a translation provides another.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <libintl.h>
#include <string>

#define _(englishText) ::gettext(englishText)
/// Marks a text for the catalogue where it is defined; _() translates it where it is shown.
#define N_(englishText) englishText

/// A message with values in it, from one printf pattern (a translated one: a translation
/// may put the values where its language wants them, %1$s ...).
__attribute__((format(printf, 1, 2))) inline std::string formatted(const char* inPattern, ...) {
    std::va_list arguments;
    va_start(arguments, inPattern);
    std::va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, inPattern, arguments);
    va_end(arguments);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) {
        std::vsnprintf(text.data(), text.size() + 1, inPattern, again);
    }
    va_end(again);
    return text;
}
