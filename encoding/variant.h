// Variant: what a decoded element or an OstrelObject field holds, the C++ form of the
// automation VARIANT kinds the control hands out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "encoding/bytes.h"

namespace kivostrel {

// Empty, a signed 32-bit integer, a double, a text, an array of bytes, or an unsigned 64-bit
// number (a Counter64). The decoder produces all but doubles; a host may store any of them.
using Variant =
    std::variant<std::monostate, std::int32_t, double, std::string, Bytes, std::uint64_t>;

inline bool IsEmpty(const Variant& value) {
  return std::holds_alternative<std::monostate>(value);
}

// A value as text, as automation converts it: numbers in decimal (doubles in their shortest
// exact form), byte arrays as their bytes taken unchanged, empty as the empty text.
std::string ValueToText(const Variant& value);

// Automation's conversion of a value to a 32-bit integer: whole numbers as they are, fractions
// rounded half to even, texts read as numbers (blanks, a sign, a fraction and an exponent
// allowed), empty as 0. Nullopt with `error` kErrTypeMismatch (13) for what is not a number, or
// kErrOverflow (6) outside the 32-bit range.
std::optional<std::int32_t> ToLong(const Variant& value, std::int32_t& error);
// The same, raising that error.
std::int32_t CoerceToLong(const Variant& value);

}  // namespace kivostrel
