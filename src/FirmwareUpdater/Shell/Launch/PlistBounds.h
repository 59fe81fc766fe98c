// What a status file may hold before the property-list library sees it. The library reads,
// copies, writes and frees a list by recursion as deep as the list nests, and expands a
// binary list's shared objects into a tree: a hostile file could overflow the stack or fill
// the memory. So its shape is measured first, without recursion.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// The deepest nesting of dictionaries and arrays taken (a status file nests one).
inline constexpr unsigned kMaxPlistDepth = 64;
/// The most objects a binary list may expand to.
inline constexpr std::size_t kMaxPlistObjects = 100'000;

/// True when inBytes, XML or binary, stays within those bounds; else false with why not, for
/// people, in outWhy. A binary list whose references run out of the file is refused too.
[[nodiscard]] bool plistWithinBounds(const std::vector<std::uint8_t>& inBytes, std::string& outWhy);
