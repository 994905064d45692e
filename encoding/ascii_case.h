// Letter case as keys, name searches and protocol names see it: only the ASCII letters A-Z and
// a-z fold; every other byte, including each byte of a non-ASCII character, compares exactly.
#pragma once

#include <algorithm>
#include <string_view>

namespace kivostrel {

constexpr char FoldAscii(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldAscii(x) == FoldAscii(y);
         });
}

inline bool ContainsIgnoringAsciiCase(std::string_view haystack, std::string_view needle) noexcept {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                     [](char a, char b) { return FoldAscii(a) == FoldAscii(b); }) != haystack.end();
}

}  // namespace kivostrel
