// Crypto: the hashes, HMACs, block ciphers and random bytes the User-based Security Model
// needs, from the platform's own implementation (OpenSSL's libcrypto on Linux; the system's CNG
// on Windows). Nothing here computes a hash or a cipher itself; modes over the platform's block
// cipher (AES-CFB128, cfb128.h) are built in the core.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kivostrel {

enum class HashAlgorithm { kMd5, kSha1, kSha224, kSha256, kSha384, kSha512 };
inline constexpr std::size_t kHashAlgorithmCount = 6;

// What each platform and the protocols know a hash by, in one table for both crypto back ends:
// its digest's size, the name OpenSSL (EVP_MD_fetch) and CNG (BCryptOpenAlgorithmProvider) both
// give it, and how people write it.
struct HashFacts {
  HashAlgorithm algorithm;
  std::size_t digest_size;
  const char* platform_name;  // "SHA256"
  const char* text;           // "SHA-256"
};
const HashFacts& FactsOf(HashAlgorithm algorithm) noexcept;

// The digest's length in octets.
inline std::size_t DigestSize(HashAlgorithm algorithm) noexcept {
  return FactsOf(algorithm).digest_size;
}

// One key's block encryption, kept between blocks.
class BlockEncryptor {
 public:
  static constexpr std::size_t kBlockSize = 16;
  virtual ~BlockEncryptor() = default;
  // Encrypts one 16-octet block; `in` and `out` may be the same.
  virtual void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) = 0;
};

// One key's HMAC, prepared once (the key's padded blocks hashed) and used for many messages.
// Not for use by two threads at once.
class KeyedHmac {
 public:
  virtual ~KeyedHmac() = default;
  // As Crypto::HmacOfParts under the key this was made with.
  virtual std::vector<std::uint8_t> OfParts(
      std::span<const std::span<const std::uint8_t>> parts) = 0;
};

class Crypto {
 public:
  virtual ~Crypto() = default;

  // Whether the platform has the algorithm (Windows' CNG has no SHA-224).
  virtual bool Supports(HashAlgorithm algorithm) const noexcept = 0;
  // The digest of `data`. Throws std::runtime_error when the platform fails or lacks the
  // algorithm.
  virtual std::vector<std::uint8_t> Hash(HashAlgorithm algorithm,
                                         std::span<const std::uint8_t> data) const = 0;
  // HMAC of `parts` one after another, as of their concatenation, under `key`: the whole digest
  // (callers truncate as their protocol says). Throws as Hash does.
  virtual std::vector<std::uint8_t> HmacOfParts(
      HashAlgorithm algorithm, std::span<const std::uint8_t> key,
      std::span<const std::span<const std::uint8_t>> parts) const = 0;
  // `key` prepared for HmacOfParts under `algorithm`. The platform's own keeps the prepared
  // state; this one keeps a wiped copy of the key and calls HmacOfParts.
  virtual std::unique_ptr<KeyedHmac> HmacKey(HashAlgorithm algorithm,
                                             std::span<const std::uint8_t> key) const;
  // HMAC of `data` under `key`.
  std::vector<std::uint8_t> Hmac(HashAlgorithm algorithm, std::span<const std::uint8_t> key,
                                 std::span<const std::uint8_t> data) const {
    const std::span<const std::uint8_t> parts[] = {data};
    return HmacOfParts(algorithm, key, parts);
  }
  // AES (electronic codebook, one block at a time) under a 16, 24 or 32-octet key. Throws
  // std::invalid_argument for another key size.
  virtual std::unique_ptr<BlockEncryptor> Aes(std::span<const std::uint8_t> key) const = 0;
  // DES-CBC under an 8-octet key and IV, over whole 8-octet blocks. Throws
  // std::invalid_argument for other sizes.
  virtual std::vector<std::uint8_t> DesCbc(bool encrypt, std::span<const std::uint8_t> key,
                                           std::span<const std::uint8_t> iv,
                                           std::span<const std::uint8_t> data) const = 0;
  // Unpredictable octets from the platform's generator.
  virtual void RandomBytes(std::span<std::uint8_t> out) const = 0;
  // Overwrites `secret` with zeros in a way the compiler may not leave out (OPENSSL_cleanse,
  // SecureZeroMemory).
  virtual void Cleanse(std::span<std::uint8_t> secret) const noexcept = 0;
};

}  // namespace kivostrel
