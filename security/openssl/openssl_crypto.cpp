#include "security/openssl/openssl_crypto.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <array>
#include <stdexcept>
#include <string>
#include <utility>

namespace kivostrel {
namespace {

const char* DigestName(HashAlgorithm algorithm) noexcept {
  return FactsOf(algorithm).platform_name;
}

[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(std::string("OpenSSL: ") + what + " failed");
}

template <typename T, void (*Free)(T*)>
struct Freer {
  void operator()(T* pointer) const noexcept { Free(pointer); }
};
using UniqueMd = std::unique_ptr<EVP_MD, Freer<EVP_MD, EVP_MD_free>>;
using UniqueMac = std::unique_ptr<EVP_MAC, Freer<EVP_MAC, EVP_MAC_free>>;
using UniqueMacContext = std::unique_ptr<EVP_MAC_CTX, Freer<EVP_MAC_CTX, EVP_MAC_CTX_free>>;
using UniqueCipher = std::unique_ptr<EVP_CIPHER, Freer<EVP_CIPHER, EVP_CIPHER_free>>;
using UniqueCipherContext =
    std::unique_ptr<EVP_CIPHER_CTX, Freer<EVP_CIPHER_CTX, EVP_CIPHER_CTX_free>>;

// A cipher context set up without padding, for whole blocks.
UniqueCipherContext CipherContext(const EVP_CIPHER* cipher, bool encrypt,
                                  std::span<const std::uint8_t> key, const std::uint8_t* iv) {
  UniqueCipherContext context(EVP_CIPHER_CTX_new());
  if (!context ||
      EVP_CipherInit_ex2(context.get(), cipher, key.data(), iv, encrypt ? 1 : 0, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1) {
    Fail("setting up a cipher");
  }
  return context;
}

class OpenSslAes final : public BlockEncryptor {
 public:
  explicit OpenSslAes(UniqueCipherContext context) : context_(std::move(context)) {}
  void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) override {
    int written = 0;
    if (EVP_CipherUpdate(context_.get(), out, &written, in, kBlockSize) != 1 ||
        written != static_cast<int>(kBlockSize)) {
      Fail("AES");
    }
  }

 private:
  UniqueCipherContext context_;
};

// An HMAC context holding its key's prepared state; each message starts again from it (a null
// key to EVP_MAC_init means the key set before), so the key is hashed once, not per message.
class OpenSslKeyedHmac final : public KeyedHmac {
 public:
  OpenSslKeyedHmac(UniqueMacContext context, std::size_t size)
      : context_(std::move(context)), size_(size) {}
  std::vector<std::uint8_t> OfParts(std::span<const std::span<const std::uint8_t>> parts) override {
    if (EVP_MAC_init(context_.get(), nullptr, 0, nullptr) != 1) Fail("HMAC");
    for (const std::span<const std::uint8_t> part : parts) {
      if (EVP_MAC_update(context_.get(), part.data(), part.size()) != 1) Fail("HMAC");
    }
    std::vector<std::uint8_t> out(size_);
    std::size_t size = 0;
    if (EVP_MAC_final(context_.get(), out.data(), &size, out.size()) != 1) Fail("HMAC");
    out.resize(size);
    return out;
  }

 private:
  UniqueMacContext context_;  // freed (and its key state cleansed) by EVP_MAC_CTX_free
  std::size_t size_;
};

}  // namespace

// The library context, and every algorithm fetched from it once: fetching takes a lock and a
// lookup by name, which would otherwise be paid on every call.
struct OpenSslCrypto::Context {
  Context() : libctx(OSSL_LIB_CTX_new()) {
    if (libctx == nullptr) Fail("OSSL_LIB_CTX_new");
    // The default provider for every digest and AES, the legacy one for single DES: loading
    // legacy alone would leave the context without the default algorithms.
    provider = OSSL_PROVIDER_load(libctx, "default");
    legacy = OSSL_PROVIDER_load(libctx, "legacy");
    if (provider == nullptr || legacy == nullptr) {
      Unload();
      Fail("loading the default and legacy providers");
    }
    const UniqueMac mac(EVP_MAC_fetch(libctx, "HMAC", nullptr));
    for (std::size_t i = 0; i < kHashCount; ++i) {
      const auto algorithm = static_cast<HashAlgorithm>(i);
      digests[i].reset(EVP_MD_fetch(libctx, DigestName(algorithm), nullptr));
      if (!digests[i] || !mac) continue;
      // An HMAC context with its digest set, copied for each HMAC.
      std::string name = DigestName(algorithm);
      const OSSL_PARAM parameters[] = {
          OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, name.data(), 0),
          OSSL_PARAM_construct_end()};
      hmacs[i].reset(EVP_MAC_CTX_new(mac.get()));
      if (hmacs[i] && EVP_MAC_CTX_set_params(hmacs[i].get(), parameters) != 1) hmacs[i].reset();
    }
    const char* aes_names[] = {"AES-128-ECB", "AES-192-ECB", "AES-256-ECB"};
    for (std::size_t i = 0; i < aes.size(); ++i) {
      aes[i].reset(EVP_CIPHER_fetch(libctx, aes_names[i], nullptr));
    }
    des_cbc.reset(EVP_CIPHER_fetch(libctx, "DES-CBC", nullptr));
  }
  ~Context() {
    for (auto& hmac : hmacs) hmac.reset();
    for (auto& digest : digests) digest.reset();
    for (auto& cipher : aes) cipher.reset();
    des_cbc.reset();
    Unload();
  }
  void Unload() noexcept {
    if (legacy != nullptr) OSSL_PROVIDER_unload(legacy);
    if (provider != nullptr) OSSL_PROVIDER_unload(provider);
    OSSL_LIB_CTX_free(libctx);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  const EVP_MD* Digest(HashAlgorithm algorithm) const {
    const std::size_t index = static_cast<std::size_t>(algorithm);
    if (index >= kHashCount || !digests[index]) Fail("fetching a digest");
    return digests[index].get();
  }
  const EVP_MAC_CTX* Hmac(HashAlgorithm algorithm) const {
    const std::size_t index = static_cast<std::size_t>(algorithm);
    if (index >= kHashCount || !hmacs[index]) Fail("fetching HMAC");
    return hmacs[index].get();
  }
  const EVP_CIPHER* Cipher(const UniqueCipher& cipher) const {
    if (!cipher) Fail("fetching a cipher");
    return cipher.get();
  }

  static constexpr std::size_t kHashCount = kHashAlgorithmCount;
  OSSL_LIB_CTX* libctx;
  OSSL_PROVIDER* provider = nullptr;
  OSSL_PROVIDER* legacy = nullptr;
  // Indexed by HashAlgorithm; empty where the platform lacks the hash.
  std::array<UniqueMd, kHashCount> digests;
  std::array<UniqueMacContext, kHashCount> hmacs;
  std::array<UniqueCipher, 3> aes;  // 128, 192 and 256-bit keys
  UniqueCipher des_cbc;
};

OpenSslCrypto::OpenSslCrypto() : context_(std::make_unique<Context>()) {}
OpenSslCrypto::~OpenSslCrypto() = default;

bool OpenSslCrypto::Supports(HashAlgorithm algorithm) const noexcept {
  const std::size_t index = static_cast<std::size_t>(algorithm);
  return index < Context::kHashCount && context_->digests[index] && context_->hmacs[index];
}

std::vector<std::uint8_t> OpenSslCrypto::Hash(HashAlgorithm algorithm,
                                              std::span<const std::uint8_t> data) const {
  const EVP_MD* md = context_->Digest(algorithm);
  std::vector<std::uint8_t> digest(static_cast<std::size_t>(EVP_MD_get_size(md)));
  unsigned int size = 0;
  if (EVP_Digest(data.data(), data.size(), digest.data(), &size, md, nullptr) != 1) {
    Fail("EVP_Digest");
  }
  digest.resize(size);
  return digest;
}

std::vector<std::uint8_t> OpenSslCrypto::HmacOfParts(
    HashAlgorithm algorithm, std::span<const std::uint8_t> key,
    std::span<const std::span<const std::uint8_t>> parts) const {
  // A copy of the prepared context: the digest stays set, and the shared one is never written.
  const UniqueMacContext context(EVP_MAC_CTX_dup(context_->Hmac(algorithm)));
  if (!context) Fail("EVP_MAC_CTX_dup");
  std::vector<std::uint8_t> out(DigestSize(algorithm));
  std::size_t size = 0;
  // A null key would mean "the key set before", and there is none: an empty key is given as one.
  static constexpr std::uint8_t kNoKey = 0;
  if (EVP_MAC_init(context.get(), key.empty() ? &kNoKey : key.data(), key.size(), nullptr) != 1) {
    Fail("HMAC");
  }
  for (const std::span<const std::uint8_t> part : parts) {
    if (EVP_MAC_update(context.get(), part.data(), part.size()) != 1) Fail("HMAC");
  }
  if (EVP_MAC_final(context.get(), out.data(), &size, out.size()) != 1) Fail("HMAC");
  out.resize(size);
  return out;
}

std::unique_ptr<KeyedHmac> OpenSslCrypto::HmacKey(HashAlgorithm algorithm,
                                                  std::span<const std::uint8_t> key) const {
  UniqueMacContext context(EVP_MAC_CTX_dup(context_->Hmac(algorithm)));
  if (!context) Fail("EVP_MAC_CTX_dup");
  static constexpr std::uint8_t kNoKey = 0;
  if (EVP_MAC_init(context.get(), key.empty() ? &kNoKey : key.data(), key.size(), nullptr) != 1) {
    Fail("HMAC");
  }
  return std::make_unique<OpenSslKeyedHmac>(std::move(context), DigestSize(algorithm));
}

std::unique_ptr<BlockEncryptor> OpenSslCrypto::Aes(std::span<const std::uint8_t> key) const {
  const std::size_t index = key.size() == 16 ? 0 : key.size() == 24 ? 1 : key.size() == 32 ? 2 : 3;
  if (index == 3) throw std::invalid_argument("an AES key has 16, 24 or 32 octets");
  return std::make_unique<OpenSslAes>(
      CipherContext(context_->Cipher(context_->aes[index]), true, key, nullptr));
}

std::vector<std::uint8_t> OpenSslCrypto::DesCbc(bool encrypt, std::span<const std::uint8_t> key,
                                                std::span<const std::uint8_t> iv,
                                                std::span<const std::uint8_t> data) const {
  if (key.size() != 8 || iv.size() != 8 || data.size() % 8 != 0) {
    throw std::invalid_argument("DES-CBC takes an 8-octet key and IV and whole 8-octet blocks");
  }
  const UniqueCipherContext context =
      CipherContext(context_->Cipher(context_->des_cbc), encrypt, key, iv.data());
  std::vector<std::uint8_t> out(data.size());
  int written = 0;
  if (!data.empty() && (EVP_CipherUpdate(context.get(), out.data(), &written, data.data(),
                                         static_cast<int>(data.size())) != 1 ||
                        written != static_cast<int>(data.size()))) {
    Fail("DES-CBC");
  }
  return out;
}

void OpenSslCrypto::Cleanse(std::span<std::uint8_t> secret) const noexcept {
  OPENSSL_cleanse(secret.data(), secret.size());
}

void OpenSslCrypto::RandomBytes(std::span<std::uint8_t> out) const {
  if (RAND_bytes_ex(context_->libctx, out.data(), out.size(), 0) != 1) Fail("RAND_bytes_ex");
}

}  // namespace kivostrel
