// What the crypto suite needs from a platform: its implementation of Crypto and the hashes that
// implementation lacks. Each platform's test program defines these once
// (tests/security/openssl_crypto_platform.cpp, tests/win/cng_crypto_platform.cpp).
#pragma once

#include <memory>

#include "security/crypto.h"

namespace kivostrel::crypto_platform {

std::unique_ptr<Crypto> MakeCrypto();
// Whether the platform's Crypto is expected to report `algorithm` unsupported.
bool Lacks(HashAlgorithm algorithm);

}  // namespace kivostrel::crypto_platform
