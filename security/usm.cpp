#include "security/usm.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "encoding/ber_tags.h"
#include "encoding/value_constructors.h"
#include "security/cfb128.h"

namespace kivostrel {
namespace {

struct ErrorRow {
  UsmError error;
  std::string_view oid;
  std::string_view text;
};

constexpr std::array<ErrorRow, kUsmErrorCount> kErrors{{
    {UsmError::kNone, "", ""},
    {UsmError::kParse, "1.3.6.1.2.1.11.6.0", "unreadable message"},
    {UsmError::kUnknownSecurityModel, "1.3.6.1.6.3.11.2.1.1.0", "unknown security model"},
    {UsmError::kInvalidMessage, "1.3.6.1.6.3.11.2.1.2.0", "invalid message"},
    {UsmError::kUnsupportedSecLevel, "1.3.6.1.6.3.15.1.1.1.0", "unsupported security level"},
    {UsmError::kNotInTimeWindow, "1.3.6.1.6.3.15.1.1.2.0", "not in time window"},
    {UsmError::kUnknownUserName, "1.3.6.1.6.3.15.1.1.3.0", "unknown user"},
    {UsmError::kUnknownEngineId, "1.3.6.1.6.3.15.1.1.4.0", "unknown engine ID"},
    {UsmError::kWrongDigest, "1.3.6.1.6.3.15.1.1.5.0", "wrong digest"},
    {UsmError::kDecryptionError, "1.3.6.1.6.3.15.1.1.6.0", "decryption error"},
}};

constexpr std::int32_t kTimeWindow = 150;
constexpr std::int32_t kLatchedBoots = 0x7FFFFFFF;

void PutBigEndian(std::uint64_t value, std::span<std::uint8_t> out) {
  for (std::size_t i = out.size(); i-- > 0; value >>= 8) out[i] = static_cast<std::uint8_t>(value);
}

// DES (RFC 3414 8.1.1.1): the pre-IV, the privacy key's second eight octets, XOR the salt.
std::array<std::uint8_t, 8> DesIv(std::span<const std::uint8_t> key,
                                  std::span<const std::uint8_t> salt) {
  std::array<std::uint8_t, 8> iv{};
  for (std::size_t i = 0; i < 8; ++i) iv[i] = static_cast<std::uint8_t>(key[8 + i] ^ salt[i]);
  return iv;
}

// AES (RFC 3826 3.1.2.1): the authoritative engine's boots and time, then the salt.
std::array<std::uint8_t, 16> AesIv(std::int32_t boots, std::int32_t time,
                                   std::span<const std::uint8_t> salt) {
  std::array<std::uint8_t, 16> iv{};
  PutBigEndian(static_cast<std::uint32_t>(boots), std::span(iv).first(4));
  PutBigEndian(static_cast<std::uint32_t>(time), std::span(iv).subspan(4, 4));
  std::copy(salt.begin(), salt.end(), iv.begin() + 8);
  return iv;
}

bool SameBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// Compares every octet whatever the first difference, so that the time taken tells nothing.
bool SameDigest(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  if (a.size() != b.size()) return false;
  std::uint8_t difference = 0;
  for (std::size_t i = 0; i < a.size(); ++i) difference |= static_cast<std::uint8_t>(a[i] ^ b[i]);
  return difference == 0;
}

// A Report is never reportable.
bool IsPlainReport(const V3Message& m) {
  if (m.encrypted || (m.flags & kFlagReportable)) return false;
  const auto scoped = ReadScopedPdu(m.scoped);
  return scoped && scoped->pdu_tag == kTagReport;
}

std::int32_t ClampTime(std::int64_t seconds) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(seconds, 0, 0x7FFFFFFF));
}

}  // namespace

std::string_view CounterOidOf(UsmError error) {
  return kErrors[static_cast<int>(error)].oid;
}

std::optional<UsmError> UsmErrorOfCounter(std::string_view oid) {
  for (const ErrorRow& row : kErrors) {
    if (!row.oid.empty() && row.oid == oid) return row.error;
  }
  return std::nullopt;
}

std::string_view SecurityErrorText(UsmError error) {
  return kErrors[static_cast<int>(error)].text;
}

Bytes NewEngineId(const Crypto& crypto) {
  Bytes id{0x80, 0x01, 0x86, 0x9F, 0x05, 0, 0, 0, 0, 0, 0, 0, 0};
  crypto.RandomBytes(std::span(id).subspan(5));
  return id;
}

Usm::Usm(const Crypto& crypto, std::function<std::int64_t()> seconds, Bytes engine_id)
    : users_(crypto), seconds_(std::move(seconds)), engine_id_(std::move(engine_id)) {
  started_at_ = seconds_();
  std::array<std::uint8_t, 8> salt{};
  crypto.RandomBytes(salt);
  for (const std::uint8_t octet : salt) salt_ = salt_ << 8 | octet;
}

std::int32_t Usm::engine_time() const {
  return ClampTime(seconds_() - started_at_);
}

void Usm::set_boots(std::int32_t boots) {
  boots_ = boots;
  started_at_ = seconds_();
}

const EngineClock* Usm::ClockOf(std::span<const std::uint8_t> engine_id) const {
  return clocks_.Peek(engine_id);
}

void Usm::Synchronise(std::span<const std::uint8_t> engine_id, std::int32_t boots,
                      std::int32_t time) {
  clocks_.Put(Bytes(engine_id.begin(), engine_id.end()),
              EngineClock{boots, time, seconds_(), time});
}

std::int32_t Usm::EstimatedTime(const EngineClock& clock) const {
  return ClampTime(clock.time + (seconds_() - clock.learnt_at));
}

Bytes Usm::Protect(const OutgoingV3& o) {
  const std::uint8_t level = o.user ? std::min(o.level, o.user->level()) : 0;
  const LocalizedKeys* keys = level ? &users_.KeysFor(*o.user, o.engine_id) : nullptr;
  const Crypto& crypto = users_.crypto();
  Bytes scoped = BuildScopedPdu(o.context_engine_id, o.context_name, o.pdu);

  std::array<std::uint8_t, 8> salt{};
  const bool encrypted = (level & kFlagPriv) != 0;
  if (encrypted) {
    ++salt_;
    const std::span<const std::uint8_t> key(keys->priv);
    if (o.user->priv == PrivProtocol::kDes) {
      PutBigEndian(static_cast<std::uint32_t>(boots_), std::span(salt).first(4));
      PutBigEndian(static_cast<std::uint32_t>(salt_), std::span(salt).last(4));
      scoped.resize((scoped.size() + 7) / 8 * 8, 0);
      scoped = crypto.DesCbc(true, key.first(8), DesIv(key, salt), scoped);
    } else {
      PutBigEndian(salt_, salt);
      scoped = AesCfb128(*keys->aes, true, AesIv(o.boots, o.time, salt), scoped);
    }
  }

  const std::size_t digest = (level & kFlagAuth) ? DigestLength(o.user->auth) : 0;
  BuiltV3Message built = BuildV3Message(
      {.message_id = o.message_id,
       .flags = static_cast<std::uint8_t>(level | (o.reportable ? kFlagReportable : 0)),
       .engine_id = o.engine_id,
       .boots = o.boots,
       .time = o.time,
       .user = o.user ? std::string_view(o.user->name) : o.user_name,
       .auth_size = digest,
       .priv = encrypted ? std::span<const std::uint8_t>(salt) : std::span<const std::uint8_t>{}},
      scoped, encrypted);
  if (digest) {
    const std::span<const std::uint8_t> parts[] = {built.message};
    const Bytes mac = keys->hmac->OfParts(parts);
    std::copy_n(mac.begin(), digest, built.message.begin() + built.auth_offset);
  }
  return std::move(built.message);
}

Bytes Usm::ProtectFromThisEngine(OutgoingV3 outgoing) {
  outgoing.engine_id = engine_id_;
  outgoing.boots = boots_;
  outgoing.time = engine_time();
  return Protect(outgoing);
}

UsmError Usm::Fail(IncomingV3& incoming, UsmError error) {
  ++counters_[static_cast<int>(error)];
  incoming.error = error;
  return error;
}

IncomingV3 Usm::Process(std::span<const std::uint8_t> datagram) {
  IncomingV3 in;
  in.message = ReadV3Message(datagram);
  if (!in.message) {
    Fail(in, UsmError::kParse);
    return in;
  }
  const V3Message& m = *in.message;
  if (m.security_model != kUserBasedSecurityModel) {
    Fail(in, UsmError::kUnknownSecurityModel);
    return in;
  }
  if ((m.flags & kFlagPriv) && !(m.flags & kFlagAuth)) {
    Fail(in, UsmError::kInvalidMessage);
    return in;
  }
  // The scoped PDU comes encrypted exactly when the level has privacy: a plaintext one wrapped
  // in an OCTET STRING is as unreadable as any other wrong element.
  if (m.encrypted != ((m.flags & kFlagPriv) != 0)) {
    Fail(in, UsmError::kParse);
    return in;
  }
  const std::uint8_t level = m.flags & kSecurityLevelFlags;
  in.authoritative = SameBytes(m.engine_id, engine_id_);
  in.user = users_.Find(m.user);
  if (level == 0) {
    in.plaintext.assign(m.scoped.begin(), m.scoped.end());
    in.scoped = ReadScopedPdu(in.plaintext);
  }
  // A request must be for this engine; nothing comes from an engine without an ID.
  if (m.engine_id.empty() || ((m.flags & kFlagReportable) && !in.authoritative)) {
    Fail(in, UsmError::kUnknownEngineId);
    return in;
  }
  // An unauthenticated Report (discovery, or another engine's failure) is given as it is:
  // whoever reads it knows that nothing vouches for it.
  if (level == 0 && in.scoped && in.scoped->pdu_tag == kTagReport && !(m.flags & kFlagReportable)) {
    return in;
  }
  if (!in.user) {
    Fail(in, UsmError::kUnknownUserName);
    return in;
  }
  // A message has its user's level; only a Report may have less (a time-window Report is
  // authenticated but not encrypted).
  const std::uint8_t user_level = in.user->level();
  if (level != user_level && !(level < user_level && IsPlainReport(m))) {
    Fail(in, UsmError::kUnsupportedSecLevel);
    return in;
  }
  if (level == 0) {
    if (!in.scoped) Fail(in, UsmError::kParse);
    return in;
  }

  const LocalizedKeys& keys = users_.KeysFor(*in.user, m.engine_id, false);
  const std::size_t digest = DigestLength(in.user->auth);
  if (m.auth.size() != digest) {
    Fail(in, UsmError::kWrongDigest);
    return in;
  }
  // The digest is computed over the message with zeros in its place.
  static constexpr std::array<std::uint8_t, 64> kZeros{};
  const std::span<const std::uint8_t> parts[] = {datagram.first(m.auth_offset),
                                                 std::span(kZeros).first(digest),
                                                 datagram.subspan(m.auth_offset + digest)};
  const Bytes mac = keys.hmac->OfParts(parts);
  if (!SameDigest(std::span(mac).first(digest), m.auth)) {
    Fail(in, UsmError::kWrongDigest);
    return in;
  }
  if (const UsmError late = CheckTimeliness(m, in.authoritative); late != UsmError::kNone) {
    Fail(in, late);
    return in;
  }
  if (level & kFlagPriv) {
    if (!Decrypt(*in.user, users_.KeysFor(*in.user, m.engine_id), m, in.plaintext)) {
      Fail(in, UsmError::kDecryptionError);
      return in;
    }
  } else {
    in.plaintext.assign(m.scoped.begin(), m.scoped.end());
  }
  in.scoped = ReadScopedPdu(in.plaintext);
  if (!in.scoped) Fail(in, (level & kFlagPriv) ? UsmError::kDecryptionError : UsmError::kParse);
  return in;
}

UsmError Usm::CheckTimeliness(const V3Message& m, bool authoritative) {
  if (authoritative) {
    const bool late = m.boots == kLatchedBoots || m.boots != boots_ ||
                      std::abs(std::int64_t{m.time} - engine_time()) > kTimeWindow;
    return late ? UsmError::kNotInTimeWindow : UsmError::kNone;
  }
  EngineClock* found = clocks_.Find(m.engine_id);
  if (found == nullptr) {
    // The first authenticated message of this engine sets its clock; boots latched at their
    // highest value are outside every window.
    if (m.boots == kLatchedBoots) return UsmError::kNotInTimeWindow;
    Synchronise(m.engine_id, m.boots, m.time);
    return UsmError::kNone;
  }
  EngineClock& clock = *found;
  if (m.boots > clock.boots || (m.boots == clock.boots && m.time > clock.latest_received_time)) {
    clock = {m.boots, m.time, seconds_(), m.time};
  }
  const bool late = m.boots == kLatchedBoots || m.boots < clock.boots ||
                    (m.boots == clock.boots &&
                     std::int64_t{m.time} < std::int64_t{EstimatedTime(clock)} - kTimeWindow);
  return late ? UsmError::kNotInTimeWindow : UsmError::kNone;
}

bool Usm::Decrypt(const UsmUser& user, const LocalizedKeys& keys, const V3Message& m,
                  Bytes& plaintext) const {
  if (m.priv.size() != 8) return false;
  const Crypto& crypto = users_.crypto();
  const std::span<const std::uint8_t> key(keys.priv);
  try {
    if (user.priv == PrivProtocol::kDes) {
      if (m.scoped.empty() || m.scoped.size() % 8 != 0) return false;
      plaintext = crypto.DesCbc(false, key.first(8), DesIv(key, m.priv), m.scoped);
    } else {
      plaintext = AesCfb128(*keys.aes, false, AesIv(m.boots, m.time, m.priv), m.scoped);
    }
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

Bytes Usm::ReportFor(const IncomingV3& in, std::int32_t request_id) {
  if (!in.message || in.error == UsmError::kNone) return {};
  const V3Message& m = *in.message;
  const Bytes binding = SNMPCounterValue(CounterOidOf(in.error), std::to_string(Count(in.error)));
  const bool authenticated = in.error == UsmError::kNotInTimeWindow && in.user;
  return ProtectFromThisEngine(
      {.message_id = m.message_id,
       .level = static_cast<std::uint8_t>(authenticated ? kFlagAuth : 0),
       .user = authenticated ? in.user : nullptr,
       .user_name = m.user,
       .context_engine_id = engine_id_,
       .context_name = in.scoped ? in.scoped->context_name : std::string_view{},
       .pdu = {.pdu = kTagReport, .request_id = request_id, .bindings = binding}});
}

}  // namespace kivostrel
