// Crypto over Windows' CNG (bcrypt.dll). The algorithm providers are opened once, when the object
// is made; each call then makes only the hash object or key it needs.
#pragma once

#include <memory>

#include "security/crypto.h"

namespace kivostrel {

class CngCrypto final : public Crypto {
 public:
  // Throws std::runtime_error when CNG cannot give AES or 3DES. A hash it cannot give is only
  // unsupported (CNG has no SHA-224).
  CngCrypto();
  ~CngCrypto() override;
  CngCrypto(const CngCrypto&) = delete;
  CngCrypto& operator=(const CngCrypto&) = delete;

  bool Supports(HashAlgorithm algorithm) const noexcept override;
  std::vector<std::uint8_t> Hash(HashAlgorithm algorithm,
                                 std::span<const std::uint8_t> data) const override;
  std::vector<std::uint8_t> HmacOfParts(
      HashAlgorithm algorithm, std::span<const std::uint8_t> key,
      std::span<const std::span<const std::uint8_t>> parts) const override;
  std::unique_ptr<BlockEncryptor> Aes(std::span<const std::uint8_t> key) const override;
  // Single DES as 3DES-CBC under K || K || K, which is DES-CBC under K: CNG has no single DES.
  std::vector<std::uint8_t> DesCbc(bool encrypt, std::span<const std::uint8_t> key,
                                   std::span<const std::uint8_t> iv,
                                   std::span<const std::uint8_t> data) const override;
  void RandomBytes(std::span<std::uint8_t> out) const override;
  void Cleanse(std::span<std::uint8_t> secret) const noexcept override;

 private:
  struct Providers;
  std::unique_ptr<Providers> providers_;
};

}  // namespace kivostrel
