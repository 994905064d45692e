// The crypto suite's platform natively: OpenSSL, which has every hash.
#include "security/openssl/openssl_crypto.h"
#include "tests/security/crypto_platform.h"

namespace kivostrel::crypto_platform {

std::unique_ptr<Crypto> MakeCrypto() {
  return std::make_unique<OpenSslCrypto>();
}

bool Lacks(HashAlgorithm /*algorithm*/) {
  return false;
}

}  // namespace kivostrel::crypto_platform
