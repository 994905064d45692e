#include "encoding/variant.h"

#include <array>
#include <charconv>

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
  } visitor;
  return std::visit(visitor, value);
}

}  // namespace kivostrel
