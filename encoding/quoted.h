// 'text': how error and usage messages show a text the user gave.
#pragma once

#include <string>
#include <string_view>

namespace kivostrel {

// Filled in place: g++ 12 warns falsely (-Wrestrict) on "'" + text + "'".
inline std::string Quoted(std::string_view text) {
  std::string quoted(text.size() + 2, '\'');
  text.copy(quoted.data() + 1, text.size());
  return quoted;
}

}  // namespace kivostrel
