// Strict UTF-8, as the MIDI layer's strings and the --json output both take it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

/// The length (1 to 4) of the UTF-8 sequence inText starts with, and its code point in
/// outCode (if given); 0 when it starts with none: a sequence cut short, an overlong form,
/// a surrogate, anything above U+10FFFF, or no text at all.
std::size_t Utf8SequenceLength(std::string_view inText, std::uint32_t* outCode = nullptr);
