// The platform's crypto, with everything it is asked to cleanse counted: the octets, whether they
// were all zero afterwards, and the short buffers as they were before (to tell which texts were
// wiped; a password's megabyte expansion is only counted).
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/security/crypto_platform.h"

namespace kivostrel {

class CleanseCounter final : public Crypto {
 public:
  CleanseCounter() : inner_(crypto_platform::MakeCrypto()) {}
  bool Supports(HashAlgorithm a) const noexcept override { return inner_->Supports(a); }
  std::vector<std::uint8_t> Hash(HashAlgorithm a, std::span<const std::uint8_t> d) const override {
    return inner_->Hash(a, d);
  }
  std::vector<std::uint8_t> HmacOfParts(
      HashAlgorithm a, std::span<const std::uint8_t> k,
      std::span<const std::span<const std::uint8_t>> p) const override {
    return inner_->HmacOfParts(a, k, p);
  }
  std::unique_ptr<BlockEncryptor> Aes(std::span<const std::uint8_t> k) const override {
    return inner_->Aes(k);
  }
  std::vector<std::uint8_t> DesCbc(bool e, std::span<const std::uint8_t> k,
                                   std::span<const std::uint8_t> iv,
                                   std::span<const std::uint8_t> d) const override {
    return inner_->DesCbc(e, k, iv, d);
  }
  void RandomBytes(std::span<std::uint8_t> out) const override { inner_->RandomBytes(out); }
  void Cleanse(std::span<std::uint8_t> secret) const noexcept override {
    if (secret.size() <= 256) texts.emplace_back(secret.begin(), secret.end());
    inner_->Cleanse(secret);
    cleansed += secret.size();
    all_zero = all_zero && std::all_of(secret.begin(), secret.end(), [](auto b) { return b == 0; });
  }
  // How many of the buffers cleansed held `text`.
  std::size_t TimesWiped(const std::string& text) const {
    return static_cast<std::size_t>(std::count(texts.begin(), texts.end(), text));
  }

  mutable std::size_t cleansed = 0;
  mutable bool all_zero = true;
  mutable std::vector<std::string> texts;

 private:
  std::unique_ptr<Crypto> inner_;
};

}  // namespace kivostrel
