// SecretBytes: the octets of a secret (a key made from a password, a localised key), wiped
// through the platform's cleanse (Crypto::Cleanse) when they are freed or replaced. A copy is
// another SecretBytes, wiped in its turn: no octet of a secret is left in a plain buffer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "security/crypto.h"

namespace kivostrel {

class SecretBytes {
 public:
  SecretBytes() = default;
  // Takes `bytes` over: its buffer is wiped with the object.
  SecretBytes(const Crypto& crypto, std::vector<std::uint8_t> bytes) noexcept
      : crypto_(&crypto), bytes_(std::move(bytes)) {}
  // Copies the octets of `text` (a password, say) and wipes the text's own buffer.
  SecretBytes(const Crypto& crypto, std::string&& text)
      : crypto_(&crypto), bytes_(text.begin(), text.end()) {
    crypto.Cleanse(std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size()));
  }
  SecretBytes(SecretBytes&& other) noexcept
      : crypto_(other.crypto_), bytes_(std::exchange(other.bytes_, {})) {}
  SecretBytes& operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
      Wipe();
      crypto_ = other.crypto_;
      bytes_ = std::exchange(other.bytes_, {});
    }
    return *this;
  }
  SecretBytes(const SecretBytes& other) : crypto_(other.crypto_), bytes_(other.bytes_) {}
  SecretBytes& operator=(const SecretBytes& other) {
    if (this != &other) *this = SecretBytes(other);
    return *this;
  }
  ~SecretBytes() { Wipe(); }

  // Appends `more`; a buffer outgrown is wiped once its octets have moved to the new one.
  void Append(std::span<const std::uint8_t> more) {
    if (bytes_.size() + more.size() > bytes_.capacity()) {
      std::vector<std::uint8_t> bigger;
      bigger.reserve(bytes_.size() + more.size());
      bigger.assign(bytes_.begin(), bytes_.end());
      Wipe();
      bytes_ = std::move(bigger);
    }
    bytes_.insert(bytes_.end(), more.begin(), more.end());
  }
  // Keeps the first `size` octets; the rest are wiped.
  void Truncate(std::size_t size) noexcept {
    if (size >= bytes_.size()) return;
    if (crypto_ != nullptr) crypto_->Cleanse(std::span(bytes_).subspan(size));
    bytes_.resize(size);
  }

  operator std::span<const std::uint8_t>() const noexcept { return bytes_; }
  std::span<const std::uint8_t> view() const noexcept { return bytes_; }
  std::string_view text() const noexcept {
    return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()};
  }
  std::size_t size() const noexcept { return bytes_.size(); }
  bool empty() const noexcept { return bytes_.empty(); }

 private:
  void Wipe() noexcept {
    if (crypto_ != nullptr && !bytes_.empty()) crypto_->Cleanse(bytes_);
  }

  const Crypto* crypto_ = nullptr;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace kivostrel
