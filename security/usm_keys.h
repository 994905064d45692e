// The keys of the User-based Security Model: a password turned into a key (RFC 3414 A.2, and
// RFC 7860 for SHA-2), and that key localised to one engine.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "security/crypto.h"

namespace kivostrel {

// The digest of the password repeated over 1,048,576 octets. The password must not be empty.
std::vector<std::uint8_t> PasswordToKey(const Crypto& crypto, HashAlgorithm algorithm,
                                        std::string_view password);

// The digest of key || engine ID || key.
std::vector<std::uint8_t> LocalizeKey(const Crypto& crypto, HashAlgorithm algorithm,
                                      std::span<const std::uint8_t> key,
                                      std::span<const std::uint8_t> engine_id);

}  // namespace kivostrel
