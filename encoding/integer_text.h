// Decimal integer texts, as the host passes integer values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kivostrel {

// Reads a decimal whole number into a signed 64-bit value.
// Blanks (space, tab) around the number and one leading sign (+ or -) are allowed.
// No digits, or any other character: error 13. Outside -2^63 .. 2^63-1: error 6.
std::int64_t ParseIntegerText(std::string_view text);

// The same reading without exceptions, for callers to whom a bad text is an expected case.
enum class IntegerTextError { kNone, kNotANumber, kOutOfRange };
struct IntegerText {
  std::int64_t value = 0;  // 0 unless `error` is kNone
  IntegerTextError error = IntegerTextError::kNone;
};
IntegerText ReadIntegerText(std::string_view text) noexcept;

// A whole number from 0 to 2^64 - 1, read as ParseIntegerText reads (blanks, one sign; "-0" is
// 0). Not a number: error 13; negative or past 2^64 - 1: error 6.
std::uint64_t ParseUnsigned64Text(std::string_view text);

// The number of UTF-16 code units of a UTF-8 text: the character count a host's string has.
std::size_t Utf16Length(std::string_view utf8) noexcept;

}  // namespace kivostrel
