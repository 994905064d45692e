#include "security/usm_users.h"

#include <array>
#include <optional>
#include <stdexcept>

#include "encoding/ascii_case.h"
#include "security/usm_keys.h"

namespace kivostrel {
namespace {

// Every fact about a protocol, in one table each: the names hosts and Net-SNMP write it with
// (the first is the one shown), and what the model needs of it.
struct AuthFacts {
  AuthProtocol protocol;
  std::array<std::string_view, 2> names;
  std::optional<HashAlgorithm> hash;  // none: no authentication
  std::size_t digest_length;          // octets of the HMAC a message carries
};
constexpr std::array<AuthFacts, 7> kAuthProtocols{{
    {AuthProtocol::kNone, {""}, std::nullopt, 0},
    {AuthProtocol::kMd5, {"MD5"}, HashAlgorithm::kMd5, 12},
    {AuthProtocol::kSha1, {"SHA", "SHA1"}, HashAlgorithm::kSha1, 12},
    {AuthProtocol::kSha224, {"SHA-224"}, HashAlgorithm::kSha224, 16},
    {AuthProtocol::kSha256, {"SHA-256"}, HashAlgorithm::kSha256, 24},
    {AuthProtocol::kSha384, {"SHA-384"}, HashAlgorithm::kSha384, 32},
    {AuthProtocol::kSha512, {"SHA-512"}, HashAlgorithm::kSha512, 48},
}};

struct PrivFacts {
  PrivProtocol protocol;
  std::array<std::string_view, 2> names;
  std::size_t key_size;  // octets of localised key used: DES's key and pre-IV, AES's key
};
constexpr std::array<PrivFacts, 7> kPrivProtocols{{
    {PrivProtocol::kNone, {""}, 0},
    {PrivProtocol::kDes, {"DES"}, 16},
    {PrivProtocol::kAes128, {"AES", "AES128"}, 16},
    {PrivProtocol::kAes192, {"AES-192", "AES192"}, 24},
    {PrivProtocol::kAes256, {"AES-256", "AES256"}, 32},
    {PrivProtocol::kAes192C, {"AES-192C", "AES192C"}, 24},
    {PrivProtocol::kAes256C, {"AES-256C", "AES256C"}, 32},
}};

template <typename Facts, std::size_t N>
const Facts* Named(const std::array<Facts, N>& table, std::string_view name) {
  for (const Facts& facts : table) {
    for (std::size_t i = 0; i < facts.names.size(); ++i) {
      if (i > 0 && facts.names[i].empty()) break;  // a protocol with one spelling
      if (EqualIgnoringAsciiCase(facts.names[i], name)) return &facts;
    }
  }
  return nullptr;
}

// Each table is in the order of its enumeration, so that a protocol is its own index.
template <typename Facts, std::size_t N>
constexpr bool InEnumOrder(const std::array<Facts, N>& table) {
  for (std::size_t i = 0; i < N; ++i) {
    if (static_cast<std::size_t>(table[i].protocol) != i) return false;
  }
  return true;
}
static_assert(InEnumOrder(kAuthProtocols) && InEnumOrder(kPrivProtocols));

template <typename Facts, std::size_t N, typename Protocol>
const Facts& Of(const std::array<Facts, N>& table, Protocol protocol) {
  return table[static_cast<std::size_t>(protocol) % N];
}

// Where the digest is shorter than the cipher's key: Blumenthal appends the digest of the key
// so far, Reeder the key so far used as a password and localised again.
SecretBytes Extended(const Crypto& crypto, HashAlgorithm hash, PrivProtocol priv,
                     SecretBytes localised, std::span<const std::uint8_t> engine_id) {
  const std::size_t needed = PrivKeySize(priv);
  const bool reeder = priv == PrivProtocol::kAes192C || priv == PrivProtocol::kAes256C;
  SecretBytes key = std::move(localised);
  while (key.size() < needed) {
    const std::span<const std::uint8_t> last = key;
    const SecretBytes more =
        reeder
            ? LocalizeKey(crypto, hash,
                          PasswordToKey(crypto, hash,
                                        {reinterpret_cast<const char*>(last.data()), last.size()}),
                          engine_id)
            : SecretBytes(crypto, crypto.Hash(hash, last));
    key.Append(more);
  }
  key.Truncate(needed);
  return key;
}

}  // namespace

std::optional<AuthProtocol> AuthProtocolNamed(std::string_view name) {
  const AuthFacts* facts = Named(kAuthProtocols, name);
  return facts ? std::optional(facts->protocol) : std::nullopt;
}
std::optional<PrivProtocol> PrivProtocolNamed(std::string_view name) {
  const PrivFacts* facts = Named(kPrivProtocols, name);
  return facts ? std::optional(facts->protocol) : std::nullopt;
}
std::string_view NameOf(AuthProtocol protocol) {
  return Of(kAuthProtocols, protocol).names[0];
}
std::string_view NameOf(PrivProtocol protocol) {
  return Of(kPrivProtocols, protocol).names[0];
}

HashAlgorithm HashOf(AuthProtocol protocol) {
  const auto hash = Of(kAuthProtocols, protocol).hash;
  // A user without authentication has no keys: nothing hashes under its protocol.
  if (!hash) throw std::invalid_argument("no authentication protocol, no hash");
  return *hash;
}

std::size_t DigestLength(AuthProtocol protocol) {
  return Of(kAuthProtocols, protocol).digest_length;
}

std::size_t PrivKeySize(PrivProtocol protocol) {
  return Of(kPrivProtocols, protocol).key_size;
}

std::uint8_t UsmUser::level() const {
  if (auth == AuthProtocol::kNone) return 0;
  return priv == PrivProtocol::kNone ? 0x01 : 0x03;
}

void UsmUsers::Add(std::string_view name, std::string_view auth_name,
                   std::string_view auth_password, std::string_view priv_name,
                   std::string_view priv_password) {
  if (name.empty() || name.size() > 32) {
    throw std::invalid_argument("a user name has 1 to 32 octets");
  }
  const auto auth = AuthProtocolNamed(auth_name);
  if (!auth) {
    // Never quoted: a password given in the protocol's place would show.
    throw std::invalid_argument(
        "unknown authentication protocol: use \"\", MD5, SHA, SHA-224, SHA-256, SHA-384 or "
        "SHA-512");
  }
  const auto priv = PrivProtocolNamed(priv_name);
  if (!priv) {
    throw std::invalid_argument(
        "unknown privacy protocol: use \"\", DES, AES, AES-192, AES-256, AES-192C or AES-256C");
  }
  if (*priv != PrivProtocol::kNone && *auth == AuthProtocol::kNone) {
    throw std::invalid_argument("privacy needs authentication: give an authentication protocol");
  }
  UsmUser user{.name = std::string(name), .auth = *auth, .priv = *priv};
  if (*auth != AuthProtocol::kNone) {
    if (!crypto_.Supports(HashOf(*auth))) {
      throw std::invalid_argument(std::string(NameOf(*auth)) +
                                  " is not offered by this system's cryptography");
    }
    if (auth_password.size() < 8) {
      throw std::invalid_argument("the authentication password is shorter than 8 characters");
    }
    user.auth_key = PasswordToKey(crypto_, HashOf(*auth), auth_password);
  }
  if (*priv != PrivProtocol::kNone) {
    if (priv_password.size() < 8) {
      throw std::invalid_argument("the privacy password is shorter than 8 characters");
    }
    user.priv_key = PasswordToKey(crypto_, HashOf(*auth), priv_password);
  }
  Remove(name);
  users_.insert_or_assign(user.name, std::move(user));
}

bool UsmUsers::Remove(std::string_view name) {
  const auto found = users_.find(name);
  if (found == users_.end()) return false;
  keys_.EraseIf([name](const KeyOf& key, const LocalizedKeys&) { return key.user == name; });
  users_.erase(found);
  return true;
}

const UsmUser* UsmUsers::Find(std::string_view name) const {
  const auto found = users_.find(name);
  return found == users_.end() ? nullptr : &found->second;
}

const LocalizedKeys& UsmUsers::KeysFor(const UsmUser& user, std::span<const std::uint8_t> engine_id,
                                       bool with_privacy) {
  LocalizedKeys* found = keys_.Find(KeyView{user.name, engine_id});
  if (found == nullptr) {
    LocalizedKeys keys;
    if (user.auth != AuthProtocol::kNone) {
      keys.auth = LocalizeKey(crypto_, HashOf(user.auth), user.auth_key, engine_id);
      keys.hmac = crypto_.HmacKey(HashOf(user.auth), keys.auth);
    }
    ++localisations_;
    found =
        &keys_.Put(KeyOf{user.name, Bytes(engine_id.begin(), engine_id.end())}, std::move(keys));
  }
  LocalizedKeys& keys = *found;
  if (with_privacy && keys.priv.empty() && user.priv != PrivProtocol::kNone) {
    const HashAlgorithm hash = HashOf(user.auth);
    keys.priv = Extended(crypto_, hash, user.priv,
                         LocalizeKey(crypto_, hash, user.priv_key, engine_id), engine_id);
    if (user.priv != PrivProtocol::kDes) keys.aes = crypto_.Aes(keys.priv);
  }
  return keys;
}

}  // namespace kivostrel
