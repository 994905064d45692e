// Variant: what a decoded element or an OstrelObject field holds, the C++ form of the
// automation VARIANT kinds the control hands out.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "encoding/bytes.h"

namespace kivostrel {

// Empty, a signed 32-bit integer, a double, a text, or an array of bytes. The decoder produces
// all but doubles; a host may store any of them.
using Variant = std::variant<std::monostate, std::int32_t, double, std::string, Bytes>;

inline bool IsEmpty(const Variant& value) {
  return std::holds_alternative<std::monostate>(value);
}

// A value as text, as automation converts it: numbers in decimal (doubles in their shortest
// exact form), byte arrays as their bytes taken unchanged, empty as the empty text.
std::string ValueToText(const Variant& value);

}  // namespace kivostrel
