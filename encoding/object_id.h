// Object identifier texts and their subidentifiers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kivostrel {

// The subidentifiers of one object identifier: kept inline for ordinary identifiers, on the
// heap only for long ones.
class Subidentifiers {
 public:
  void push_back(std::uint32_t value) {
    if (size_ < kInline) {
      inline_[size_++] = value;
    } else {
      Spill(value);
    }
  }
  std::span<const std::uint32_t> span() const noexcept {
    if (size_ <= kInline) return {inline_.data(), size_};
    return heap_;
  }
  std::size_t size() const noexcept { return size_; }

 private:
  void Spill(std::uint32_t value);

  static constexpr std::size_t kInline = 32;
  std::array<std::uint32_t, kInline> inline_;  // the first size_ entries are set
  std::vector<std::uint32_t> heap_;
  std::size_t size_ = 0;
};

// Reads dotted decimal text ("1.3.6.1.2.1.1.1.0") into BER subidentifiers.
//  - The text is split at every "."; empty pieces (leading, trailing or doubled dots) are skipped.
//  - Each piece is a decimal number with optional blanks: not a number, error 13; below 0 or
//    above 2147483647, error 6.
//  - No pieces: no subidentifiers. One piece: it must be below 128 (else error 6) and is the one
//    subidentifier. Two or more: 40 * first + second (error 6 beyond 2147483647), then the rest.
//  - A text of 32766 characters or more: error 6.
Subidentifiers ParseObjectIdText(std::string_view text);

}  // namespace kivostrel
