// The keys of the User-based Security Model: a password turned into a key (RFC 3414 A.2, and
// RFC 7860 for SHA-2), and that key localised to one engine.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "security/crypto.h"
#include "security/secret_bytes.h"

namespace kivostrel {

// The digest of the password repeated over 1,048,576 octets, which are wiped afterwards. The
// password must not be empty.
SecretBytes PasswordToKey(const Crypto& crypto, HashAlgorithm algorithm, std::string_view password);

// The digest of key || engine ID || key.
SecretBytes LocalizeKey(const Crypto& crypto, HashAlgorithm algorithm,
                        std::span<const std::uint8_t> key, std::span<const std::uint8_t> engine_id);

}  // namespace kivostrel
