#include "encoding/object_id.h"

#include <algorithm>

#include "encoding/automation_error.h"
#include "encoding/integer_text.h"

namespace kivostrel {

void Subidentifiers::push_back(std::uint32_t value) {
  if (size_ < kInline) {
    inline_[size_++] = value;
    return;
  }
  if (size_ == kInline) heap_.assign(inline_.begin(), inline_.end());
  heap_.push_back(value);
  ++size_;
}

std::span<const std::uint32_t> Subidentifiers::span() const noexcept {
  if (size_ <= kInline) return {inline_.data(), size_};
  return heap_;
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
  if (Utf16Length(text) >= 32766) RaiseOverflow();

  Subidentifiers result;
  std::uint32_t first = 0;
  std::size_t pieces = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    const std::size_t dot = std::min(text.find('.', pos), text.size());
    const std::string_view piece = text.substr(pos, dot - pos);
    pos = dot + 1;
    if (piece.empty()) continue;
    const std::uint32_t arc = ParseArc(piece);
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
