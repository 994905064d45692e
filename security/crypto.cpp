#include "security/crypto.h"

#include <array>

#include "security/secret_bytes.h"

namespace kivostrel {
namespace {

class CopiedKeyHmac final : public KeyedHmac {
 public:
  CopiedKeyHmac(const Crypto& crypto, HashAlgorithm algorithm, std::span<const std::uint8_t> key)
      : crypto_(crypto),
        algorithm_(algorithm),
        key_(crypto, std::vector<std::uint8_t>(key.begin(), key.end())) {}
  std::vector<std::uint8_t> OfParts(std::span<const std::span<const std::uint8_t>> parts) override {
    return crypto_.HmacOfParts(algorithm_, key_, parts);
  }

 private:
  const Crypto& crypto_;
  HashAlgorithm algorithm_;
  SecretBytes key_;
};

constexpr std::array<HashFacts, kHashAlgorithmCount> kHashes{{
    {HashAlgorithm::kMd5, 16, "MD5", "MD5"},
    {HashAlgorithm::kSha1, 20, "SHA1", "SHA-1"},
    {HashAlgorithm::kSha224, 28, "SHA224", "SHA-224"},
    {HashAlgorithm::kSha256, 32, "SHA256", "SHA-256"},
    {HashAlgorithm::kSha384, 48, "SHA384", "SHA-384"},
    {HashAlgorithm::kSha512, 64, "SHA512", "SHA-512"},
}};
static_assert([] {
  for (std::size_t i = 0; i < kHashes.size(); ++i) {
    if (static_cast<std::size_t>(kHashes[i].algorithm) != i) return false;
  }
  return true;
}());

}  // namespace

const HashFacts& FactsOf(HashAlgorithm algorithm) noexcept {
  return kHashes[static_cast<std::size_t>(algorithm) % kHashes.size()];
}

std::unique_ptr<KeyedHmac> Crypto::HmacKey(HashAlgorithm algorithm,
                                           std::span<const std::uint8_t> key) const {
  return std::make_unique<CopiedKeyHmac>(*this, algorithm, key);
}

}  // namespace kivostrel
