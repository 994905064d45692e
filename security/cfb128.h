// AES in CFB mode with 128-bit feedback (RFC 3826), written as a mode over the platform's AES:
// some platforms' CFB feeds back 8 bits only.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "security/crypto.h"

namespace kivostrel {

// `data` of any length encrypted (or decrypted) under `key` (16, 24 or 32 octets) and a 16-octet
// `iv`. Throws std::invalid_argument for another key or IV size.
std::vector<std::uint8_t> AesCfb128(const Crypto& crypto, bool encrypt,
                                    std::span<const std::uint8_t> key,
                                    std::span<const std::uint8_t> iv,
                                    std::span<const std::uint8_t> data);
// The same under a key already prepared as `aes`.
std::vector<std::uint8_t> AesCfb128(BlockEncryptor& aes, bool encrypt,
                                    std::span<const std::uint8_t> iv,
                                    std::span<const std::uint8_t> data);

}  // namespace kivostrel
