#include "encoding/integer_text.h"

#include <limits>

#include "encoding/automation_error.h"

namespace kivostrel {
namespace {

constexpr bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

namespace {

// Blanks around, one leading sign, then digits: the sign and the magnitude, or kOutOfRange once
// the magnitude passes `limit`. A stray character is a type mismatch even when the digits also
// overflow.
IntegerTextError ReadMagnitude(std::string_view text, std::uint64_t limit, bool& negative,
                               std::uint64_t& magnitude) noexcept {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  negative = false;
  if (begin < end && (text[begin] == '+' || text[begin] == '-')) {
    negative = text[begin] == '-';
    ++begin;
  }
  if (begin == end) return IntegerTextError::kNotANumber;
  magnitude = 0;
  bool overflow = false;
  for (std::size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return IntegerTextError::kNotANumber;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (magnitude > (limit - digit) / 10) overflow = true;
    if (!overflow) magnitude = magnitude * 10 + digit;
  }
  return overflow ? IntegerTextError::kOutOfRange : IntegerTextError::kNone;
}

void Raise(IntegerTextError error) {
  if (error == IntegerTextError::kNotANumber) RaiseTypeMismatch();
  if (error == IntegerTextError::kOutOfRange) RaiseOverflow();
}

}  // namespace

IntegerText ReadIntegerText(std::string_view text) noexcept {
  // The magnitude is counted as unsigned so that -2^63 is representable.
  constexpr std::uint64_t kMaxMagnitude = std::uint64_t{1} << 63;
  bool negative = false;
  std::uint64_t magnitude = 0;
  const IntegerTextError error = ReadMagnitude(text, kMaxMagnitude, negative, magnitude);
  if (error != IntegerTextError::kNone) return {0, error};
  if (magnitude > kMaxMagnitude - (negative ? 0 : 1)) return {0, IntegerTextError::kOutOfRange};
  if (negative) return {static_cast<std::int64_t>(0 - magnitude)};
  return {static_cast<std::int64_t>(magnitude)};
}

std::uint64_t ParseUnsigned64Text(std::string_view text) {
  bool negative = false;
  std::uint64_t magnitude = 0;
  IntegerTextError error =
      ReadMagnitude(text, std::numeric_limits<std::uint64_t>::max(), negative, magnitude);
  if (error == IntegerTextError::kNone && negative && magnitude != 0) {
    error = IntegerTextError::kOutOfRange;
  }
  Raise(error);
  return magnitude;
}

std::int64_t ParseIntegerText(std::string_view text) {
  const IntegerText read = ReadIntegerText(text);
  Raise(read.error);
  return read.value;
}

std::size_t Utf16Length(std::string_view utf8) noexcept {
  std::size_t units = 0;
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c & 0xC0) == 0x80) continue;  // continuation byte
    units += c >= 0xF0 ? 2 : 1;        // four-byte sequences need a surrogate pair
  }
  return units;
}

}  // namespace kivostrel
