// The crypto suite's platform under Wine or Windows: CNG, which has no SHA-224.
#include "security/cng/cng_crypto.h"
#include "tests/security/crypto_platform.h"

namespace kivostrel::crypto_platform {

std::unique_ptr<Crypto> MakeCrypto() {
  return std::make_unique<CngCrypto>();
}

bool Lacks(HashAlgorithm algorithm) {
  return algorithm == HashAlgorithm::kSha224;
}

}  // namespace kivostrel::crypto_platform
