// The users of the User-based Security Model: their protocols, the keys made from their
// passwords (the passwords themselves are never kept), and those keys localised to each engine
// they have met, cached so that a password is hashed once per user and engine.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "encoding/bytes.h"
#include "encoding/lru_map.h"
#include "security/crypto.h"
#include "security/secret_bytes.h"

namespace kivostrel {

enum class AuthProtocol { kNone, kMd5, kSha1, kSha224, kSha256, kSha384, kSha512 };
// AES-192 and AES-256 extend a short localised key as Blumenthal's draft does; the "C" forms
// as Reeder's does.
enum class PrivProtocol { kNone, kDes, kAes128, kAes192, kAes256, kAes192C, kAes256C };

// Names as hosts and Net-SNMP write them, in any letter case ("" is none; "AES128" and the
// Net-SNMP spellings "AES192", "AES256", "AES192C", "AES256C" are accepted too).
std::optional<AuthProtocol> AuthProtocolNamed(std::string_view name);
std::optional<PrivProtocol> PrivProtocolNamed(std::string_view name);
std::string_view NameOf(AuthProtocol protocol);
std::string_view NameOf(PrivProtocol protocol);

// The hash an authentication protocol uses; std::invalid_argument for none.
HashAlgorithm HashOf(AuthProtocol protocol);
// The digest's length in a message: HMAC-MD5-96 and HMAC-SHA-96 keep 12 octets, the SHA-2
// protocols of RFC 7860 16, 24, 32 and 48.
std::size_t DigestLength(AuthProtocol protocol);
// Octets of localised privacy key a protocol uses: DES 16 (key and pre-IV), AES its key size.
std::size_t PrivKeySize(PrivProtocol protocol);

struct UsmUser {
  std::string name;
  AuthProtocol auth = AuthProtocol::kNone;
  PrivProtocol priv = PrivProtocol::kNone;
  SecretBytes auth_key;  // the keys made from the passwords (Ku), not yet localised
  SecretBytes priv_key;
  // The security level's msgFlags bits: 0, authentication, or both.
  std::uint8_t level() const;
};

struct LocalizedKeys {
  SecretBytes auth;
  SecretBytes priv;  // extended to PrivKeySize where the digest is shorter
  // The keys prepared for the platform, once: the HMAC with its key hashed, and AES with its key
  // schedule (none for DES). A copy of the keys (of a whole Usm) shares them, on the same thread.
  std::shared_ptr<KeyedHmac> hmac;
  std::shared_ptr<BlockEncryptor> aes;
};

class UsmUsers {
 public:
  explicit UsmUsers(const Crypto& crypto) : crypto_(crypto) {}

  // Adds or replaces a user. Throws std::invalid_argument saying what is wrong (never with a
  // password in it): a name of 0 or more than 32 octets, an unknown protocol, privacy without
  // authentication, a password shorter than 8 characters, a hash the platform does not offer.
  void Add(std::string_view name, std::string_view auth, std::string_view auth_password,
           std::string_view priv, std::string_view priv_password);
  // False when there was no such user.
  bool Remove(std::string_view name);
  const UsmUser* Find(std::string_view name) const;
  std::size_t size() const { return users_.size(); }

  // The user's keys localised to `engine_id`, made the first time they are asked for. The
  // privacy key only with `with_privacy`: extending it may hash a megabyte, which no message
  // should cost before it has been authenticated.
  const LocalizedKeys& KeysFor(const UsmUser& user, std::span<const std::uint8_t> engine_id,
                               bool with_privacy = true);
  // How many localisations were made: a second message to the same engine makes none.
  std::size_t localisations() const { return localisations_; }
  // A bound on the cache: senders may claim any number of engine IDs.
  static constexpr std::size_t kMaxCachedKeys = 4096;
  std::size_t cached_keys() const { return keys_.size(); }

  const Crypto& crypto() const { return crypto_; }

 private:
  struct KeyOf {
    std::string user;
    Bytes engine_id;
  };
  struct KeyView {
    std::string_view user;
    std::span<const std::uint8_t> engine_id;
  };
  struct KeyOrder {
    using is_transparent = void;
    static KeyView View(const KeyOf& k) { return {k.user, k.engine_id}; }
    static KeyView View(const KeyView& k) { return k; }
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const {
      const KeyView x = View(a), y = View(b);
      if (x.user != y.user) return x.user < y.user;
      return std::lexicographical_compare(x.engine_id.begin(), x.engine_id.end(),
                                          y.engine_id.begin(), y.engine_id.end());
    }
  };
  const Crypto& crypto_;
  std::map<std::string, UsmUser, std::less<>> users_;
  LruMap<KeyOf, LocalizedKeys, KeyOrder> keys_{kMaxCachedKeys};
  std::size_t localisations_ = 0;
};

}  // namespace kivostrel
