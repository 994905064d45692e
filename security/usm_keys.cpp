#include "security/usm_keys.h"

#include <stdexcept>

namespace kivostrel {

SecretBytes PasswordToKey(const Crypto& crypto, HashAlgorithm algorithm,
                          std::string_view password) {
  if (password.empty()) throw std::invalid_argument("an empty password gives no key");
  constexpr std::size_t kOctets = 1048576;
  std::vector<std::uint8_t> bytes(kOctets);
  for (std::size_t i = 0; i < kOctets; ++i) {
    bytes[i] = static_cast<std::uint8_t>(password[i % password.size()]);
  }
  const SecretBytes stream(crypto, std::move(bytes));
  return SecretBytes(crypto, crypto.Hash(algorithm, stream));
}

SecretBytes LocalizeKey(const Crypto& crypto, HashAlgorithm algorithm,
                        std::span<const std::uint8_t> key,
                        std::span<const std::uint8_t> engine_id) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(2 * key.size() + engine_id.size());
  bytes.insert(bytes.end(), key.begin(), key.end());
  bytes.insert(bytes.end(), engine_id.begin(), engine_id.end());
  bytes.insert(bytes.end(), key.begin(), key.end());
  const SecretBytes input(crypto, std::move(bytes));
  return SecretBytes(crypto, crypto.Hash(algorithm, input));
}

}  // namespace kivostrel
