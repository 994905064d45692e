// SNMPv3 messages as an engine receives them: the strict readers and the User-based Security
// Model's processing never crash, over-read or leak, and keep their promises.
//
// The engine has one user per protocol combination and a fixed engine ID, boots and time, so
// that messages made for it (fuzz/seeds/v3_message, captured from Net-SNMP's tools and made by
// fuzz/make_v3_seeds.py) get past the engine, user, level and digest checks. A random digest
// stops every mutated message there, so the first input octet chooses what the rest is:
//
//   0  a datagram, given to Process and to the readers;
//   1  a scoped PDU's plaintext, which this harness protects for the engine (its own
//      encryption and digest, written from the RFCs) before Process: decryption and the
//      scoped PDU's reader see whatever the fuzzer makes;
//   2  content that a manager's Usm protects for the engine; then the ciphertext (or the
//      plaintext scoped PDU) is changed in place and the digest computed again: decryption
//      to garbage;
//   3  content protected as in 2 and accepted as the same PDU; then one octet is changed, and
//      the message must no longer be accepted when its level has authentication (every octet
//      of it is then authenticated).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string_view>

#include "encoding/automation_error.h"
#include "encoding/ber_tags.h"
#include "encoding/bytes.h"
#include "encoding/element_reader.h"
#include "encoding/messages.h"
#include "encoding/v3_message.h"
#include "security/cfb128.h"
#include "security/openssl/openssl_crypto.h"
#include "security/usm.h"
#include "security/usm_users.h"

namespace {

using namespace kivostrel;
using Span = std::span<const std::uint8_t>;

// The users, in the order a seed's user octet chooses them (modulo their number). The
// passwords are the seed maker's too.
struct FuzzUser {
  std::string_view name, auth, auth_password, priv, priv_password;
};
constexpr std::array<FuzzUser, 6> kUsers{{
    {"noauth", "", "", "", ""},
    {"md5", "MD5", "fuzz-md5-auth", "", ""},
    {"sha-des", "SHA", "fuzz-shades-auth", "DES", "fuzz-shades-priv"},
    {"sha-aes", "SHA", "fuzz-shaaes-auth", "AES", "fuzz-shaaes-priv"},
    {"sha256-aes256", "SHA-256", "fuzz-sha256-auth", "AES-256", "fuzz-aes256-priv"},
    {"sha512-aes192c", "SHA-512", "fuzz-sha512-auth", "AES-192C", "fuzz-aes192c-priv"},
}};

// "kivostrel-fz" and "kivostrel-mg" in Net-SNMP's engine ID format (text, format 4).
const Bytes kEngineId{0x80, 0x00, 0x1f, 0x88, 0x04, 'k', 'i', 'v', 'o',
                      's',  't',  'r',  'e',  'l',  '-', 'f', 'z'};
const Bytes kManagerId{0x80, 0x00, 0x1f, 0x88, 0x04, 'k', 'i', 'v', 'o',
                       's',  't',  'r',  'e',  'l',  '-', 'm', 'g'};
// Net-SNMP's tools send boots 0 and time 0 to an engine whose ID they are given (-e), so the
// captured requests are in this engine's time window.
constexpr std::int32_t kBoots = 0;
constexpr std::int32_t kTime = 100;

std::int64_t g_seconds = 0;

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "v3_message_fuzzer: %s\n", what);
  std::abort();
}
void Expect(bool holds, const char* what) {
  if (!holds) Broken(what);
}

bool Inside(Span part, Span whole) {
  if (part.empty()) return true;
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

bool Same(Span a, Span b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// The engine and a manager that knows the same users; each input works on copies, so that no
// input sees what an earlier one left (counters, learnt clocks, salts).
struct Engines {
  OpenSslCrypto crypto;
  std::optional<Usm> engine, manager;

  Engines() {
    engine.emplace(
        crypto, [] { return g_seconds; }, kEngineId);
    manager.emplace(
        crypto, [] { return g_seconds; }, kManagerId);
    engine->set_boots(kBoots);
    g_seconds = kTime;
    for (Usm* usm : {&*engine, &*manager}) {
      for (const FuzzUser& u : kUsers) {
        usm->users().Add(u.name, u.auth, u.auth_password, u.priv, u.priv_password);
        // Localised once here rather than in the first input that needs them.
        usm->users().KeysFor(*usm->users().Find(u.name), kEngineId);
      }
    }
  }
};

const Engines& Prototypes() {
  static const Engines engines;
  return engines;
}

// Reads the fields of an input one after another; past its end, zeros.
class Input {
 public:
  explicit Input(Span data) : data_(data) {}
  std::uint8_t Byte() { return at_ < data_.size() ? data_[at_++] : 0; }
  std::uint32_t Number(int octets) {
    std::uint32_t value = 0;
    for (int i = 0; i < octets; ++i) value = value << 8 | Byte();
    return value;
  }
  Span Take(std::size_t n) {
    n = std::min(n, data_.size() - at_);
    const Span taken = data_.subspan(at_, n);
    at_ += n;
    return taken;
  }
  Span Rest() { return Take(data_.size() - at_); }

 private:
  Span data_;
  std::size_t at_ = 0;
};

const UsmUser& UserOf(const Usm& usm, std::uint8_t octet) {
  return *usm.users().Find(kUsers[octet % kUsers.size()].name);
}

// The user's level, or for a user with privacy authentication alone (which only a Report may
// have).
std::uint8_t LevelFor(const UsmUser& user, std::uint8_t octet) {
  return (octet & 1) ? user.level() : static_cast<std::uint8_t>(user.level() & kFlagAuth);
}

// What every message the engine accepts promises.
void CheckAccepted(const IncomingV3& in) {
  Expect(in.message && in.scoped, "accepted without a message or a scoped PDU");
  const V3Message& m = *in.message;
  const std::uint8_t level = m.flags & kSecurityLevelFlags;
  Expect(Inside(in.scoped->pdu, in.plaintext) && !in.scoped->pdu.empty(),
         "the scoped PDU's PDU is not inside the plaintext");
  Expect(Inside(in.scoped->context_engine_id, in.plaintext), "context engine ID outside plaintext");
  Expect(in.scoped->pdu[0] == in.scoped->pdu_tag, "the PDU tag is not the PDU's first octet");
  Expect(m.encrypted == ((level & kFlagPriv) != 0),
         "accepted with the scoped PDU's form (encrypted or not) other than its level says");
  if (in.user && level < in.user->level()) {
    Expect(in.scoped->pdu_tag == kTagReport, "accepted below its user's level, and not a Report");
  }
  if (level & kFlagAuth) {
    Expect(in.user && in.user->level() >= level, "authenticated without a user of that level");
    Expect(m.auth.size() == DigestLength(in.user->auth), "accepted a digest of another length");
  }
}

// The Report for a failed reportable message: readable, from this engine, and accepted by the
// manager it goes to.
void CheckReport(const Engines& prototypes, Usm& engine, const IncomingV3& in) {
  const Bytes report = engine.ReportFor(in, 4242);
  Expect(!report.empty(), "no Report for a failed reportable message");
  const auto m = ReadV3Message(report);
  Expect(m.has_value(), "the Report is not readable");
  Expect(Same(m->engine_id, engine.engine_id()), "the Report is not from this engine");
  Expect(!(m->flags & kFlagReportable) && !(m->flags & kFlagPriv), "the Report's flags");
  Expect(m->message_id == in.message->message_id, "the Report's msgID is not the request's");
  Usm manager = *prototypes.manager;
  const IncomingV3 back = manager.Process(report);
  Expect(back.error == UsmError::kNone, "the manager does not accept the Report");
  CheckAccepted(back);
  Expect(back.scoped->pdu_tag == kTagReport, "the Report's PDU is not a Report");
  const auto pdu = ReadRequestPdu(back.scoped->pdu);
  Expect(pdu && pdu->request_id == 4242, "the Report's PDU is not readable");
}

// Mode 0: any datagram.
void Datagram(const Engines& prototypes, Span data) {
  // The readers alone, on the datagram as it is.
  if (const auto scoped = ReadScopedPdu(data)) {
    Expect(Inside(scoped->pdu, data) && Inside(scoped->context_engine_id, data), "scoped spans");
  }
  if (const auto pdu = ReadRequestPdu(data)) {
    Expect(Inside(pdu->bindings, data) && pdu->pdu != kTagTrap, "request PDU");
  }

  const auto read = ReadV3Message(data);
  if (read) {
    Expect(MessageVersionOf(data) == kSnmpV3, "a message read as SNMPv3 has another version");
    Expect(Inside(read->engine_id, data) && Inside(read->auth, data) && Inside(read->priv, data) &&
               Inside(read->scoped, data),
           "a message's spans are not inside the datagram");
    Expect(read->auth_offset + read->auth.size() <= data.size() &&
               (read->auth.empty() || read->auth.data() == data.data() + read->auth_offset),
           "the digest is not at its offset");
    Expect(read->engine_id.size() <= kMaxEngineIdSize && read->user.size() <= kMaxUserNameSize,
           "engine ID or user name too long");
    Expect(!read->scoped.empty() &&
               read->scoped.data() + read->scoped.size() == data.data() + data.size(),
           "the scoped PDU does not end the message");
    if (!read->encrypted) {
      Expect(read->scoped[0] == kTagSequence, "a plaintext scoped PDU that is not a SEQUENCE");
      if (const auto scoped = ReadScopedPdu(read->scoped)) {
        Expect(Inside(scoped->pdu, read->scoped), "the PDU is not inside the scoped PDU");
        if (const auto pdu = ReadRequestPdu(scoped->pdu)) {
          Expect(Inside(pdu->bindings, scoped->pdu), "the bindings are not inside the PDU");
        }
      }
    }
  }

  Usm engine = *prototypes.engine;
  const IncomingV3 in = engine.Process(data);
  Expect(in.message.has_value() == read.has_value(), "Process read the message otherwise");
  Expect(in.message || in.error == UsmError::kParse, "an unreadable message not counted as such");
  Expect(engine.Count(in.error) == (in.error == UsmError::kNone ? 0u : 1u), "counted wrongly");
  if (in.error == UsmError::kNone) CheckAccepted(in);
  if (in.message && in.error != UsmError::kNone && (in.message->flags & kFlagReportable)) {
    CheckReport(prototypes, engine, in);
  }
}

// Mode 1: the rest is a scoped PDU's plaintext, protected here for the engine.
void Plaintext(const Engines& prototypes, Span data) {
  Input input(data);
  Usm engine = *prototypes.engine;
  const UsmUser& user = UserOf(engine, input.Byte());
  const std::uint8_t level = LevelFor(user, input.Byte());
  std::array<std::uint8_t, 8> salt{};
  const Span salt_octets = input.Take(salt.size());
  std::copy(salt_octets.begin(), salt_octets.end(), salt.begin());
  const Span plaintext = input.Rest();
  const Crypto& crypto = engine.users().crypto();
  const LocalizedKeys& keys = engine.users().KeysFor(user, kEngineId);
  const std::int32_t time = engine.engine_time();

  Bytes scoped(plaintext.begin(), plaintext.end());
  const bool encrypted = (level & kFlagPriv) != 0;
  if (encrypted) {
    const Span key(keys.priv);
    if (user.priv == PrivProtocol::kDes) {
      std::array<std::uint8_t, 8> iv{};
      for (std::size_t i = 0; i < iv.size(); ++i) iv[i] = key[8 + i] ^ salt[i];
      scoped.resize((scoped.size() + 7) / 8 * 8, 0);
      scoped = crypto.DesCbc(true, key.first(8), iv, scoped);
    } else {
      // boots, time and the salt.
      std::array<std::uint8_t, 16> iv{};
      for (std::size_t i = 0; i < 4; ++i) {
        iv[i] = static_cast<std::uint8_t>(kBoots >> (24 - 8 * i));
        iv[4 + i] = static_cast<std::uint8_t>(time >> (24 - 8 * i));
      }
      std::copy(salt.begin(), salt.end(), iv.begin() + 8);
      scoped = AesCfb128(crypto, true, key, iv, scoped);
    }
  }
  const std::size_t digest = (level & kFlagAuth) ? DigestLength(user.auth) : 0;
  BuiltV3Message built;
  try {
    built = BuildV3Message({.message_id = 1,
                            .flags = level,
                            .engine_id = kEngineId,
                            .boots = kBoots,
                            .time = time,
                            .user = user.name,
                            .auth_size = digest,
                            .priv = encrypted ? Span(salt) : Span{}},
                           scoped, encrypted);
  } catch (const AutomationError&) {
    return;  // past the 32767 octets a message may hold
  }
  if (digest) {
    const Bytes mac = crypto.Hmac(HashOf(user.auth), keys.auth, built.message);
    std::copy_n(mac.begin(), digest, built.message.begin() + built.auth_offset);
  }

  const IncomingV3 in = engine.Process(built.message);
  if (in.error == UsmError::kNone) CheckAccepted(in);
  if (encrypted) {
    // Whatever the plaintext, it is decrypted again as it was (DES with its padding).
    Expect(
        in.message && in.error != UsmError::kWrongDigest && in.error != UsmError::kNotInTimeWindow,
        "a message protected for the engine was not read or not authenticated");
    Bytes padded(plaintext.begin(), plaintext.end());
    if (user.priv == PrivProtocol::kDes) padded.resize(scoped.size(), 0);
    Expect(in.plaintext == padded, "decryption did not give the plaintext back");
    const bool readable = ReadScopedPdu(padded).has_value();
    Expect(in.error == (readable ? UsmError::kNone : UsmError::kDecryptionError),
           "an encrypted scoped PDU accepted or refused against what its reader says");
    return;
  }
  // Unencrypted: a plaintext of exactly one SEQUENCE that reads as a scoped PDU is accepted at
  // its user's level, and below it when it is a Report.
  const auto header = ReadElementHeader(plaintext);
  const bool whole = header && header->tag == kTagSequence &&
                     header->content.size() == header->length &&
                     header->after_content() == plaintext.size();
  if (const auto scoped_pdu = ReadScopedPdu(plaintext); whole && scoped_pdu) {
    if (level == user.level() || scoped_pdu->pdu_tag == kTagReport) {
      Expect(in.error == UsmError::kNone, "a whole scoped PDU protected for the engine is refused");
      Expect(Same(in.plaintext, plaintext), "the plaintext is not the scoped PDU");
    } else {
      Expect(in.error == UsmError::kUnsupportedSecLevel, "accepted below its user's level");
    }
  }
}

// The content of modes 2 and 3, protected by the manager for the engine.
struct Protected {
  const UsmUser* user = nullptr;  // the engine's
  std::uint8_t level = 0;
  RequestMessage pdu;
  std::string_view context_name;
  Bytes message;
};

std::optional<Protected> ProtectContent(const Engines& prototypes, Usm& engine, Input& input) {
  constexpr std::array<BerTag, 8> kPdus{kTagGetRequest, kTagGetNextRequest, kTagGetResponse,
                                        kTagSetRequest, kTagGetBulkRequest, kTagInformRequest,
                                        kTagSnmpV2Trap, kTagReport};
  Protected p;
  const std::uint8_t user_octet = input.Byte();
  p.user = &UserOf(engine, user_octet);
  p.level = LevelFor(*p.user, input.Byte());
  const std::uint8_t pdu_octet = input.Byte();
  p.pdu.pdu = kPdus[pdu_octet % kPdus.size()];
  // Below the user's level only a Report is accepted.
  if (p.pdu.pdu != kTagReport) p.level = p.user->level();
  // A Report is never reportable (one that says so is refused below its user's level).
  const bool reportable = p.pdu.pdu != kTagReport && (pdu_octet & 0x80) != 0;
  const std::int32_t message_id = static_cast<std::int32_t>(input.Number(4) & 0x7FFFFFFF);
  p.pdu.request_id = static_cast<std::int32_t>(input.Number(4));
  p.pdu.error_status = static_cast<std::int8_t>(input.Byte());
  p.pdu.error_index = static_cast<std::int8_t>(input.Byte());
  const Span name = input.Take(input.Byte() % 33);
  p.context_name = {reinterpret_cast<const char*>(name.data()), name.size()};
  p.pdu.bindings = input.Take(input.Number(2));

  Usm manager = *prototypes.manager;
  try {
    p.message = manager.Protect({.message_id = message_id,
                                 .reportable = reportable,
                                 .level = p.level,
                                 .user = &UserOf(manager, user_octet),
                                 .engine_id = kEngineId,
                                 .boots = kBoots,
                                 .time = engine.engine_time(),
                                 .context_engine_id = kEngineId,
                                 .context_name = p.context_name,
                                 .pdu = p.pdu});
  } catch (const AutomationError&) {
    return std::nullopt;  // past the 32767 octets a message may hold
  }
  return p;
}

bool SamePdu(const IncomingV3& in, const Protected& p) {
  if (in.error != UsmError::kNone || !in.scoped) return false;
  const auto pdu = ReadRequestPdu(in.scoped->pdu);
  return pdu && in.user && in.user->name == p.user->name && pdu->pdu == p.pdu.pdu &&
         pdu->request_id == p.pdu.request_id && pdu->error_status == p.pdu.error_status &&
         pdu->error_index == p.pdu.error_index && Same(pdu->bindings, p.pdu.bindings) &&
         in.scoped->context_name == p.context_name && Same(in.scoped->context_engine_id, kEngineId);
}

// The digest over the whole message with its digest zeroed, written in place.
void Authenticate(Usm& engine, const UsmUser& user, const V3Message& m, Bytes& message) {
  const Crypto& crypto = engine.users().crypto();
  std::fill_n(message.begin() + m.auth_offset, m.auth.size(), 0);
  const Bytes mac =
      crypto.Hmac(HashOf(user.auth), engine.users().KeysFor(user, kEngineId).auth, message);
  std::copy_n(mac.begin(), m.auth.size(), message.begin() + m.auth_offset);
}

// Mode 2: the ciphertext (or plaintext scoped PDU) changed in place, the digest made again.
void Garbled(const Engines& prototypes, Span data) {
  Input input(data);
  Usm engine = *prototypes.engine;
  auto p = ProtectContent(prototypes, engine, input);
  if (!p) return;
  const Span changes = input.Rest();
  const auto m = ReadV3Message(p->message);
  Expect(m.has_value(), "a message the manager protected is not readable");
  const std::size_t at = static_cast<std::size_t>(m->scoped.data() - p->message.data());
  for (std::size_t i = 0; i < changes.size() && i < m->scoped.size(); ++i) {
    p->message[at + i] ^= changes[i];
  }
  // A plaintext scoped PDU changed past reading makes the message unreadable: kParse below.
  if (const auto changed = ReadV3Message(p->message); changed && (p->level & kFlagAuth)) {
    Authenticate(engine, *p->user, *changed, p->message);
  }
  const IncomingV3 in = engine.Process(p->message);
  if (in.error == UsmError::kNone) CheckAccepted(in);
  if (p->level & kFlagPriv) {
    Expect(in.error == UsmError::kNone || in.error == UsmError::kDecryptionError,
           "changed ciphertext under a good digest: neither accepted nor a decryption error");
  } else {
    // Below the user's level, a change that leaves no Report there makes the level unsupported.
    const bool below = p->level < p->user->level();
    Expect(in.error == UsmError::kNone || in.error == UsmError::kParse ||
               (below && in.error == UsmError::kUnsupportedSecLevel),
           "changed scoped PDU under a good digest: neither accepted nor a parse error");
  }
}

// Mode 3: accepted as protected; with one octet changed, not accepted as the same PDU unless
// nothing authenticates it.
void Flipped(const Engines& prototypes, Span data) {
  Input input(data);
  Usm engine = *prototypes.engine;
  auto p = ProtectContent(prototypes, engine, input);
  if (!p) return;
  const std::size_t at = input.Number(2) % p->message.size();
  const std::uint8_t change = input.Byte() | 0x01;

  {
    Usm receiver = *prototypes.engine;
    const IncomingV3 in = receiver.Process(p->message);
    Expect(in.error == UsmError::kNone, "a message protected for the engine is refused");
    CheckAccepted(in);
    Expect(SamePdu(in, *p), "a message protected for the engine is accepted as another PDU");
    Expect((in.message->flags & kSecurityLevelFlags) == p->level, "accepted at another level");
  }
  p->message[at] ^= change;
  const IncomingV3 in = engine.Process(p->message);
  if (in.error == UsmError::kNone) CheckAccepted(in);
  if ((p->level & kFlagAuth) && in.error == UsmError::kNone) {
    // Only as what nothing vouches for: a Report with its authentication flag cleared is given
    // as an unauthenticated Report, as discovery's are.
    Expect(!(in.message->flags & kFlagAuth) && in.scoped->pdu_tag == kTagReport,
           "an authenticated message with an octet changed is accepted");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Engines& prototypes = Prototypes();
  if (size == 0) return 0;
  const Span rest(data + 1, size - 1);
  switch (data[0] % 4) {
    case 0:
      Datagram(prototypes, rest);
      break;
    case 1:
      Plaintext(prototypes, rest);
      break;
    case 2:
      Garbled(prototypes, rest);
      break;
    default:
      Flipped(prototypes, rest);
      break;
  }
  return 0;
}
