// Strict UTF-8, as the MIDI layer's strings and the --json output both take it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// The length (1 to 4) of the UTF-8 sequence inText starts with, and its code point in
/// outCode (if given); 0 when it starts with none: a sequence cut short, an overlong form,
/// a surrogate, anything above U+10FFFF, or no text at all.
std::size_t Utf8SequenceLength(std::string_view inText, std::uint32_t* outCode = nullptr);

/// inText as a terminal may show it, whatever it holds (a file name, a name from a file or
/// a device): UTF-8 as it is, but C0 controls, DEL, the backslash and every byte that is no
/// UTF-8 as \xNN, C1 controls and the marks that turn the direction of what follows as
/// \u{XXXX}. Nothing in it moves the cursor, sets a colour or a title, or starts a line.
std::string PrintableText(std::string_view inText);
