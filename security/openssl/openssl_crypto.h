// Crypto over OpenSSL's libcrypto (3.0), in a library context of its own so that the process's
// default context is left as it is. The algorithms are fetched once, when the object is made.
#pragma once

#include <memory>

#include "security/crypto.h"

namespace kivostrel {

class OpenSslCrypto final : public Crypto {
 public:
  // Throws std::runtime_error when OpenSSL cannot give a library context.
  OpenSslCrypto();
  ~OpenSslCrypto() override;
  OpenSslCrypto(const OpenSslCrypto&) = delete;
  OpenSslCrypto& operator=(const OpenSslCrypto&) = delete;

  bool Supports(HashAlgorithm algorithm) const noexcept override;
  std::vector<std::uint8_t> Hash(HashAlgorithm algorithm,
                                 std::span<const std::uint8_t> data) const override;
  std::vector<std::uint8_t> HmacOfParts(
      HashAlgorithm algorithm, std::span<const std::uint8_t> key,
      std::span<const std::span<const std::uint8_t>> parts) const override;
  std::unique_ptr<KeyedHmac> HmacKey(HashAlgorithm algorithm,
                                     std::span<const std::uint8_t> key) const override;
  std::unique_ptr<BlockEncryptor> Aes(std::span<const std::uint8_t> key) const override;
  std::vector<std::uint8_t> DesCbc(bool encrypt, std::span<const std::uint8_t> key,
                                   std::span<const std::uint8_t> iv,
                                   std::span<const std::uint8_t> data) const override;
  void RandomBytes(std::span<std::uint8_t> out) const override;
  void Cleanse(std::span<std::uint8_t> secret) const noexcept override;

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

}  // namespace kivostrel
