#include "security/usm_keys.h"

#include <stdexcept>

namespace kivostrel {

std::size_t DigestSize(HashAlgorithm algorithm) noexcept {
  switch (algorithm) {
    case HashAlgorithm::kMd5:
      return 16;
    case HashAlgorithm::kSha1:
      return 20;
    case HashAlgorithm::kSha224:
      return 28;
    case HashAlgorithm::kSha256:
      return 32;
    case HashAlgorithm::kSha384:
      return 48;
    case HashAlgorithm::kSha512:
      return 64;
  }
  return 0;
}

std::vector<std::uint8_t> PasswordToKey(const Crypto& crypto, HashAlgorithm algorithm,
                                        std::string_view password) {
  if (password.empty()) throw std::invalid_argument("an empty password gives no key");
  constexpr std::size_t kOctets = 1048576;
  std::vector<std::uint8_t> stream(kOctets);
  for (std::size_t i = 0; i < kOctets; ++i) {
    stream[i] = static_cast<std::uint8_t>(password[i % password.size()]);
  }
  return crypto.Hash(algorithm, stream);
}

std::vector<std::uint8_t> LocalizeKey(const Crypto& crypto, HashAlgorithm algorithm,
                                      std::span<const std::uint8_t> key,
                                      std::span<const std::uint8_t> engine_id) {
  std::vector<std::uint8_t> input(key.begin(), key.end());
  input.insert(input.end(), engine_id.begin(), engine_id.end());
  input.insert(input.end(), key.begin(), key.end());
  return crypto.Hash(algorithm, input);
}

}  // namespace kivostrel
