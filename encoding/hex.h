// Hex text of byte strings, for display and for test vectors.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivostrel {

// "30 0C 06 08 ..." : upper-case octets separated by one blank, or by `separator`.
std::string ToHex(std::span<const std::uint8_t> bytes, std::string_view separator = " ");

// Reads pairs of hex digits, with blanks, line breaks or colons allowed between pairs.
// Returns false, leaving `out` unchanged, on a lone digit or any other character.
bool FromHex(std::string_view text, std::vector<std::uint8_t>& out);

}  // namespace kivostrel
