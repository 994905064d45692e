#include "security/cng/cng_crypto.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "security/cng/cng_handles.h"

namespace kivostrel {
namespace {

constexpr std::size_t kHashCount = kHashAlgorithmCount;

constexpr std::size_t IndexOf(HashAlgorithm algorithm) noexcept {
  return static_cast<std::size_t>(algorithm);
}

// CNG's algorithm identifier: the hash's platform name, widened (ASCII).
std::wstring AlgorithmId(HashAlgorithm algorithm) {
  const std::string name = FactsOf(algorithm).platform_name;
  return std::wstring(name.begin(), name.end());
}

[[noreturn]] void Fail(const char* call, NTSTATUS status) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
  throw std::runtime_error(std::string("CNG: ") + call + " failed (" + code + ")");
}

// NTSTATUS values below zero are errors.
void Check(NTSTATUS status, const char* call) {
  if (status < 0) Fail(call, status);
}

// CNG counts octets in a ULONG.
ULONG Length(std::size_t size) {
  if (size > std::numeric_limits<ULONG>::max()) throw std::length_error("CNG: input too long");
  return static_cast<ULONG>(size);
}

// CNG's input parameters are not const, but it never writes to them.
PUCHAR Input(std::span<const std::uint8_t> bytes) noexcept {
  return const_cast<PUCHAR>(bytes.data());
}

// An empty owner when the platform lacks the algorithm.
UniqueAlgorithm TryOpen(const wchar_t* id, ULONG flags) noexcept {
  UniqueAlgorithm algorithm;
  if (id != nullptr && ::BCryptOpenAlgorithmProvider(algorithm.Receive(), id, nullptr, flags) < 0) {
    algorithm.reset();
  }
  return algorithm;
}

// A block cipher's provider in one chaining mode.
UniqueAlgorithm OpenCipher(const wchar_t* id, const wchar_t* mode) {
  UniqueAlgorithm algorithm;
  Check(::BCryptOpenAlgorithmProvider(algorithm.Receive(), id, nullptr, 0),
        "BCryptOpenAlgorithmProvider");
  // The mode's name in octets, with its terminating null.
  const ULONG mode_size = Length((std::char_traits<wchar_t>::length(mode) + 1) * sizeof *mode);
  Check(::BCryptSetProperty(algorithm.get(), BCRYPT_CHAINING_MODE,
                            reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(mode)), mode_size, 0),
        "BCryptSetProperty(BCRYPT_CHAINING_MODE)");
  return algorithm;
}

UniqueKey SymmetricKey(BCRYPT_ALG_HANDLE algorithm, std::span<const std::uint8_t> secret) {
  UniqueKey key;
  Check(::BCryptGenerateSymmetricKey(algorithm, key.Receive(), nullptr, 0, Input(secret),
                                     Length(secret.size()), 0),
        "BCryptGenerateSymmetricKey");
  return key;
}

// The digest of `parts` one after another from a hash provider, or their HMAC under `secret`
// from an HMAC provider.
std::vector<std::uint8_t> Digest(BCRYPT_ALG_HANDLE algorithm, std::size_t size,
                                 std::span<const std::uint8_t> secret,
                                 std::span<const std::span<const std::uint8_t>> parts) {
  UniqueHash hash;
  Check(::BCryptCreateHash(algorithm, hash.Receive(), nullptr, 0, Input(secret),
                           Length(secret.size()), 0),
        "BCryptCreateHash");
  for (const std::span<const std::uint8_t> data : parts) {
    // An empty part adds nothing, and its data pointer may be null.
    if (data.empty()) continue;
    Check(::BCryptHashData(hash.get(), Input(data), Length(data.size()), 0), "BCryptHashData");
  }
  std::vector<std::uint8_t> digest(size);
  Check(::BCryptFinishHash(hash.get(), digest.data(), Length(digest.size()), 0),
        "BCryptFinishHash");
  return digest;
}

class CngAes final : public BlockEncryptor {
 public:
  explicit CngAes(UniqueKey key) : key_(std::move(key)) {}
  void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) override {
    ULONG written = 0;
    Check(::BCryptEncrypt(key_.get(), const_cast<PUCHAR>(in), kBlockSize, nullptr, nullptr, 0, out,
                          kBlockSize, &written, 0),
          "BCryptEncrypt");
  }

 private:
  UniqueKey key_;
};

}  // namespace

struct CngCrypto::Providers {
  // One provider for plain digests and one for HMACs per hash; both empty when CNG lacks it.
  struct HashProviders {
    UniqueAlgorithm hash, hmac;
  };
  std::array<HashProviders, kHashCount> hashes;
  UniqueAlgorithm aes_ecb, des3_cbc;

  // The provider of `algorithm`'s digests (or HMACs); throws when the platform lacks it.
  BCRYPT_ALG_HANDLE Provider(HashAlgorithm algorithm, bool hmac) const {
    const HashProviders& providers = hashes.at(IndexOf(algorithm));
    const UniqueAlgorithm& provider = hmac ? providers.hmac : providers.hash;
    if (!provider) {
      throw std::runtime_error(std::string("CNG: this platform has no ") + FactsOf(algorithm).text);
    }
    return provider.get();
  }
};

CngCrypto::CngCrypto() : providers_(std::make_unique<Providers>()) {
  for (std::size_t i = 0; i < kHashCount; ++i) {
    // CNG has no SHA-224: asking for it is refused, and Supports says so.
    const std::wstring id = AlgorithmId(static_cast<HashAlgorithm>(i));
    providers_->hashes[i].hash = TryOpen(id.c_str(), 0);
    providers_->hashes[i].hmac = TryOpen(id.c_str(), BCRYPT_ALG_HANDLE_HMAC_FLAG);
  }
  providers_->aes_ecb = OpenCipher(BCRYPT_AES_ALGORITHM, BCRYPT_CHAIN_MODE_ECB);
  providers_->des3_cbc = OpenCipher(BCRYPT_3DES_ALGORITHM, BCRYPT_CHAIN_MODE_CBC);
}

CngCrypto::~CngCrypto() = default;

bool CngCrypto::Supports(HashAlgorithm algorithm) const noexcept {
  const std::size_t index = IndexOf(algorithm);
  return index < kHashCount && providers_->hashes[index].hash && providers_->hashes[index].hmac;
}

std::vector<std::uint8_t> CngCrypto::Hash(HashAlgorithm algorithm,
                                          std::span<const std::uint8_t> data) const {
  const std::span<const std::uint8_t> parts[] = {data};
  return Digest(providers_->Provider(algorithm, false), DigestSize(algorithm), {}, parts);
}

std::vector<std::uint8_t> CngCrypto::HmacOfParts(
    HashAlgorithm algorithm, std::span<const std::uint8_t> key,
    std::span<const std::span<const std::uint8_t>> parts) const {
  return Digest(providers_->Provider(algorithm, true), DigestSize(algorithm), key, parts);
}

std::unique_ptr<BlockEncryptor> CngCrypto::Aes(std::span<const std::uint8_t> key) const {
  if (key.size() != 16 && key.size() != 24 && key.size() != 32) {
    throw std::invalid_argument("an AES key has 16, 24 or 32 octets");
  }
  return std::make_unique<CngAes>(SymmetricKey(providers_->aes_ecb.get(), key));
}

std::vector<std::uint8_t> CngCrypto::DesCbc(bool encrypt, std::span<const std::uint8_t> key,
                                            std::span<const std::uint8_t> iv,
                                            std::span<const std::uint8_t> data) const {
  if (key.size() != 8 || iv.size() != 8 || data.size() % 8 != 0) {
    throw std::invalid_argument("DES-CBC takes an 8-octet key and IV and whole 8-octet blocks");
  }
  std::vector<std::uint8_t> out(data.size());
  if (data.empty()) return out;
  // With all three keys equal, encrypt-decrypt-encrypt is one DES encryption.
  std::array<std::uint8_t, 24> triple;
  for (std::size_t at = 0; at < triple.size(); at += key.size()) {
    std::copy(key.begin(), key.end(), triple.begin() + at);
  }
  const UniqueKey des = SymmetricKey(providers_->des3_cbc.get(), triple);
  Cleanse(triple);
  // CNG updates the IV in place as it chains.
  std::array<std::uint8_t, 8> chain;
  std::copy(iv.begin(), iv.end(), chain.begin());
  ULONG written = 0;
  const ULONG size = Length(data.size());
  const NTSTATUS status = encrypt
                              ? ::BCryptEncrypt(des.get(), Input(data), size, nullptr, chain.data(),
                                                chain.size(), out.data(), size, &written, 0)
                              : ::BCryptDecrypt(des.get(), Input(data), size, nullptr, chain.data(),
                                                chain.size(), out.data(), size, &written, 0);
  Check(status, encrypt ? "BCryptEncrypt" : "BCryptDecrypt");
  return out;
}

void CngCrypto::Cleanse(std::span<std::uint8_t> secret) const noexcept {
  ::SecureZeroMemory(secret.data(), secret.size());
}

void CngCrypto::RandomBytes(std::span<std::uint8_t> out) const {
  if (out.empty()) return;
  Check(::BCryptGenRandom(nullptr, out.data(), Length(out.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG),
        "BCryptGenRandom");
}

}  // namespace kivostrel
