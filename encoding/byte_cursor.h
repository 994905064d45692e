// ByteCursor: reads a byte string front to back and can never read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kivostrel {

class ByteCursor {
 public:
  explicit ByteCursor(std::span<const std::uint8_t> data) noexcept : data_(data) {}

  std::size_t position() const noexcept { return position_; }
  std::size_t remaining() const noexcept { return data_.size() - position_; }

  // One octet; false, without moving, at the end.
  [[nodiscard]] bool ReadByte(std::uint8_t& out) noexcept {
    if (position_ >= data_.size()) return false;
    out = data_[position_++];
    return true;
  }

  // Up to `count` octets: fewer where the data ends first.
  std::span<const std::uint8_t> TakeUpTo(std::size_t count) noexcept {
    const std::size_t n = count < remaining() ? count : remaining();
    const auto taken = data_.subspan(position_, n);
    position_ += n;
    return taken;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
};

}  // namespace kivostrel
