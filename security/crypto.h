// Crypto: the hashes, HMACs and random bytes the User-based Security Model needs, from the
// platform's own implementation (OpenSSL's libcrypto on Linux; the system's CNG on Windows).
// Nothing here computes a hash or a cipher itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kivostrel {

enum class HashAlgorithm { kMd5, kSha1, kSha224, kSha256, kSha384, kSha512 };

// The digest's length in octets.
std::size_t DigestSize(HashAlgorithm algorithm) noexcept;

class Crypto {
 public:
  virtual ~Crypto() = default;

  // Whether the platform has the algorithm (Windows' CNG has no SHA-224).
  virtual bool Supports(HashAlgorithm algorithm) const noexcept = 0;
  // The digest of `data`. Throws std::runtime_error when the platform fails or lacks the
  // algorithm.
  virtual std::vector<std::uint8_t> Hash(HashAlgorithm algorithm,
                                         std::span<const std::uint8_t> data) const = 0;
  // HMAC of `data` under `key`, the whole digest (callers truncate as their protocol says).
  virtual std::vector<std::uint8_t> Hmac(HashAlgorithm algorithm, std::span<const std::uint8_t> key,
                                         std::span<const std::uint8_t> data) const = 0;
  // Unpredictable octets from the platform's generator.
  virtual void RandomBytes(std::span<std::uint8_t> out) const = 0;
};

}  // namespace kivostrel
