#include "security/usm_users.h"

#include <array>
#include <stdexcept>

#include "encoding/ascii_case.h"
#include "security/usm_keys.h"

namespace kivostrel {
namespace {

template <typename Protocol>
struct Named {
  std::string_view name;
  Protocol protocol;
};

constexpr std::array<Named<AuthProtocol>, 8> kAuthNames{{
    {"", AuthProtocol::kNone},
    {"MD5", AuthProtocol::kMd5},
    {"SHA", AuthProtocol::kSha1},
    {"SHA-224", AuthProtocol::kSha224},
    {"SHA-256", AuthProtocol::kSha256},
    {"SHA-384", AuthProtocol::kSha384},
    {"SHA-512", AuthProtocol::kSha512},
    {"SHA1", AuthProtocol::kSha1},
}};

constexpr std::array<Named<PrivProtocol>, 12> kPrivNames{{
    {"", PrivProtocol::kNone},
    {"DES", PrivProtocol::kDes},
    {"AES", PrivProtocol::kAes128},
    {"AES-192", PrivProtocol::kAes192},
    {"AES-256", PrivProtocol::kAes256},
    {"AES-192C", PrivProtocol::kAes192C},
    {"AES-256C", PrivProtocol::kAes256C},
    {"AES128", PrivProtocol::kAes128},
    {"AES192", PrivProtocol::kAes192},
    {"AES256", PrivProtocol::kAes256},
    {"AES192C", PrivProtocol::kAes192C},
    {"AES256C", PrivProtocol::kAes256C},
}};

template <typename Protocol, std::size_t N>
std::optional<Protocol> Find(const std::array<Named<Protocol>, N>& table, std::string_view name) {
  for (const auto& entry : table) {
    if (EqualIgnoringAsciiCase(entry.name, name)) return entry.protocol;
  }
  return std::nullopt;
}

template <typename Protocol, std::size_t N>
std::string_view NameIn(const std::array<Named<Protocol>, N>& table, Protocol protocol) {
  for (const auto& entry : table) {
    if (entry.protocol == protocol) return entry.name;
  }
  return {};
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
  return Find(kAuthNames, name);
}
std::optional<PrivProtocol> PrivProtocolNamed(std::string_view name) {
  return Find(kPrivNames, name);
}
std::string_view NameOf(AuthProtocol protocol) {
  return NameIn(kAuthNames, protocol);
}
std::string_view NameOf(PrivProtocol protocol) {
  return NameIn(kPrivNames, protocol);
}

HashAlgorithm HashOf(AuthProtocol protocol) {
  switch (protocol) {
    case AuthProtocol::kMd5:
      return HashAlgorithm::kMd5;
    case AuthProtocol::kSha224:
      return HashAlgorithm::kSha224;
    case AuthProtocol::kSha256:
      return HashAlgorithm::kSha256;
    case AuthProtocol::kSha384:
      return HashAlgorithm::kSha384;
    case AuthProtocol::kSha512:
      return HashAlgorithm::kSha512;
    case AuthProtocol::kSha1:
      return HashAlgorithm::kSha1;
    case AuthProtocol::kNone:
      break;
  }
  // A user without authentication has no keys: nothing hashes under its protocol.
  throw std::invalid_argument("no authentication protocol, no hash");
}

std::size_t DigestLength(AuthProtocol protocol) {
  switch (protocol) {
    case AuthProtocol::kNone:
      return 0;
    case AuthProtocol::kMd5:
    case AuthProtocol::kSha1:
      return 12;
    case AuthProtocol::kSha224:
      return 16;
    case AuthProtocol::kSha256:
      return 24;
    case AuthProtocol::kSha384:
      return 32;
    case AuthProtocol::kSha512:
      return 48;
  }
  return 0;
}

std::size_t PrivKeySize(PrivProtocol protocol) {
  switch (protocol) {
    case PrivProtocol::kNone:
      return 0;
    case PrivProtocol::kDes:
    case PrivProtocol::kAes128:
      return 16;
    case PrivProtocol::kAes192:
    case PrivProtocol::kAes192C:
      return 24;
    default:
      return 32;
  }
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
  }
  return keys;
}

}  // namespace kivostrel
