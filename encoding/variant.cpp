#include "encoding/variant.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "encoding/automation_error.h"

namespace kivostrel {

std::string ValueToText(const Variant& value) {
  struct {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(std::int32_t number) const { return std::to_string(number); }
    std::string operator()(double number) const {
      std::array<char, 32> text{};
      const auto result = std::to_chars(text.data(), text.data() + text.size(), number);
      return std::string(text.data(), result.ptr);
    }
    std::string operator()(const std::string& text) const { return text; }
    std::string operator()(const Bytes& bytes) const { return {bytes.begin(), bytes.end()}; }
    std::string operator()(std::uint64_t number) const { return std::to_string(number); }
  } visitor;
  return std::visit(visitor, value);
}

std::optional<std::int32_t> ToLong(const Variant& value, std::int32_t& error) {
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  if (const auto* integer = std::get_if<std::int32_t>(&value)) return *integer;
  error = kErrTypeMismatch;
  double number = 0;
  if (const auto* wide = std::get_if<std::uint64_t>(&value)) {
    if (*wide > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
      error = kErrOverflow;
      return std::nullopt;
    }
    return static_cast<std::int32_t>(*wide);
  } else if (const auto* real = std::get_if<double>(&value)) {
    number = *real;
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    // Blanks around the number are allowed; strtod reads sign, fraction and exponent.
    const std::size_t begin = text->find_first_not_of(" \t");
    const std::size_t end = text->find_last_not_of(" \t");
    if (begin == std::string::npos) return std::nullopt;
    const std::string trimmed = text->substr(begin, end - begin + 1);
    if (trimmed.find_first_not_of("+-0123456789.eE") != std::string::npos) return std::nullopt;
    char* parsed_end = nullptr;
    number = std::strtod(trimmed.c_str(), &parsed_end);
    if (parsed_end != trimmed.c_str() + trimmed.size()) return std::nullopt;
  } else if (std::holds_alternative<Bytes>(value)) {
    return std::nullopt;
  }
  if (std::isnan(number)) return std::nullopt;
  const double rounded = std::nearbyint(number);  // the default rounding: half to even
  if (rounded < kMin || rounded > kMax) {
    error = kErrOverflow;
    return std::nullopt;
  }
  return static_cast<std::int32_t>(rounded);
}

std::int32_t CoerceToLong(const Variant& value) {
  std::int32_t error = 0;
  const std::optional<std::int32_t> number = ToLong(value, error);
  if (number) return *number;
  if (error == kErrOverflow) RaiseOverflow();
  RaiseTypeMismatch();
}

}  // namespace kivostrel
