// RowBlock: the bytes of one received message's row table, inline up to a size that holds a
// typical small response (its datagram and a few row records), on the heap past it.
//
// A received datagram is decoded into a fresh table every time, so for small messages the
// allocation would cost as much as the decoding. Copies and moves copy or take the bytes; the
// table refers into them by offset only, never by pointer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

namespace kivostrel {

class RowBlock {
 public:
  static constexpr std::size_t kInlineBytes = 256;

  RowBlock() = default;
  RowBlock(const RowBlock& other) { Append(other.data(), other.size_); }
  RowBlock(RowBlock&& other) noexcept { Take(other); }
  RowBlock& operator=(const RowBlock& other) {
    if (this != &other) {
      size_ = 0;
      Append(other.data(), other.size_);
    }
    return *this;
  }
  RowBlock& operator=(RowBlock&& other) noexcept {
    if (this != &other) {
      heap_.reset();
      Take(other);
    }
    return *this;
  }

  std::uint8_t* data() noexcept { return heap_ ? heap_.get() : inline_; }
  const std::uint8_t* data() const noexcept { return heap_ ? heap_.get() : inline_; }
  std::size_t size() const noexcept { return size_; }

  // Room for `bytes` in all, keeping what is there.
  void reserve(std::size_t bytes) {
    if (bytes <= capacity_) return;
    auto grown = std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
    if (size_ != 0) std::memcpy(grown.get(), data(), size_);
    heap_ = std::move(grown);
    capacity_ = bytes;
  }
  // `count` more bytes at the end, uninitialised; returns where they start.
  std::uint8_t* Grow(std::size_t count) {
    if (size_ + count > capacity_) reserve(std::max(2 * capacity_, size_ + count));
    std::uint8_t* const at = data() + size_;
    size_ += count;
    return at;
  }
  void Append(const std::uint8_t* bytes, std::size_t count) {
    if (count != 0) std::memcpy(Grow(count), bytes, count);
  }
  // Keeps the capacity.
  void clear() noexcept { size_ = 0; }

 private:
  void Take(RowBlock& other) noexcept {
    size_ = other.size_;
    capacity_ = other.capacity_;
    heap_ = std::move(other.heap_);
    if (!heap_) std::memcpy(inline_, other.inline_, size_);
    other.size_ = 0;
    other.capacity_ = kInlineBytes;
  }

  std::unique_ptr<std::uint8_t[]> heap_;
  std::size_t size_ = 0;
  std::size_t capacity_ = kInlineBytes;
  alignas(8) std::uint8_t inline_[kInlineBytes];
};

}  // namespace kivostrel
