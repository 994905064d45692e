#include "encoding/object_id.h"

#include "encoding/automation_error.h"
#include "encoding/integer_text.h"

namespace kivostrel {

void Subidentifiers::Spill(std::uint32_t value) {
  if (size_ == kInline) heap_.assign(inline_.begin(), inline_.end());
  heap_.push_back(value);
  ++size_;
}

namespace {

constexpr std::int64_t kMaxArc = 2147483647;

std::uint32_t ParseArc(std::string_view piece) {
  const std::int64_t arc = ParseIntegerText(piece);
  if (arc < 0 || arc > kMaxArc) RaiseOverflow();
  return static_cast<std::uint32_t>(arc);
}

}  // namespace

Subidentifiers ParseObjectIdText(std::string_view text) {
  // Positions in a host's text are counted in a signed 16-bit number.
  // A UTF-8 text never has more UTF-16 units than bytes, so short texts need no count.
  if (text.size() >= 32766 && Utf16Length(text) >= 32766) RaiseOverflow();

  Subidentifiers result;
  std::uint32_t first = 0;
  std::size_t pieces = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    // Plain digits are read on the way to the next dot; anything else in a piece (blanks, a
    // sign, a stray character, a value past the arc limit) goes through the full number rules.
    std::size_t end = pos;
    std::uint64_t plain_value = 0;
    bool plain = true;
    for (; end < text.size() && text[end] != '.'; ++end) {
      const char c = text[end];
      if (plain && c >= '0' && c <= '9') {
        plain_value = plain_value * 10 + static_cast<std::uint64_t>(c - '0');
        plain = plain_value <= kMaxArc;
      } else {
        plain = false;
      }
    }
    const std::string_view piece = text.substr(pos, end - pos);
    pos = end + 1;
    if (piece.empty()) continue;
    const std::uint32_t arc = plain ? static_cast<std::uint32_t>(plain_value) : ParseArc(piece);
    if (pieces == 0) {
      first = arc;
    } else if (pieces == 1) {
      const std::int64_t combined = std::int64_t{40} * first + arc;
      if (combined > kMaxArc) RaiseOverflow();
      result.push_back(static_cast<std::uint32_t>(combined));
    } else {
      result.push_back(arc);
    }
    ++pieces;
  }
  if (pieces == 1) {
    if (first > 127) RaiseOverflow();
    result.push_back(first);
  }
  return result;
}

}  // namespace kivostrel
