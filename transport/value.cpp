#include "transport/value.h"

namespace kivostrel {

std::string ValueToText(const Value& value) {
  struct {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(std::int32_t number) const { return std::to_string(number); }
    std::string operator()(const std::string& text) const { return text; }
    std::string operator()(const Bytes& bytes) const { return {bytes.begin(), bytes.end()}; }
  } visitor;
  return std::visit(visitor, value);
}

}  // namespace kivostrel
