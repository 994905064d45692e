// The User-based Security Model's message processing (RFC 3414 3.1 and 3.2): protecting an
// outgoing message (digest, encryption) and checking an incoming one in the RFC's order
// (engine, user, level, digest, timeliness, decryption), with the counters it keeps and the
// Reports an authoritative engine answers with.
//
// This engine is authoritative for what it receives as an agent or notification receiver
// (messages carrying its own engine ID) and learns the clocks of the engines it is not
// authoritative for: an agent's from discovery, a notification sender's from its first
// authenticated message.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string_view>

#include "encoding/bytes.h"
#include "encoding/lru_map.h"
#include "encoding/messages.h"
#include "encoding/v3_message.h"
#include "security/usm_users.h"

namespace kivostrel {

// Why an incoming message was not accepted; each has its counter.
enum class UsmError {
  kNone,
  kParse,                 // snmpInASNParseErrs
  kUnknownSecurityModel,  // snmpUnknownSecurityModels
  kInvalidMessage,        // snmpInvalidMsgs: privacy without authentication
  kUnsupportedSecLevel,   // usmStatsUnsupportedSecLevels
  kNotInTimeWindow,       // usmStatsNotInTimeWindows
  kUnknownUserName,       // usmStatsUnknownUserNames
  kUnknownEngineId,       // usmStatsUnknownEngineIDs
  kWrongDigest,           // usmStatsWrongDigests
  kDecryptionError,       // usmStatsDecryptionErrors
};
inline constexpr std::size_t kUsmErrorCount = 10;

// The counter's object identifier with its instance (".0").
std::string_view CounterOidOf(UsmError error);
// The counter an object identifier names; nullopt for any other.
std::optional<UsmError> UsmErrorOfCounter(std::string_view oid);
// What a host is told: "unknown user", "wrong digest", "not in time window", "decryption
// error", "unsupported security level", "unknown engine ID", "unreadable message", ...
std::string_view SecurityErrorText(UsmError error);

// What the engine knows of another engine's clock.
struct EngineClock {
  std::int32_t boots = 0;
  std::int32_t time = 0;       // as last learnt
  std::int64_t learnt_at = 0;  // this engine's seconds when it was learnt
  std::int32_t latest_received_time = 0;
};

struct OutgoingV3 {
  std::int32_t message_id = 0;
  bool reportable = false;
  std::uint8_t level = 0;         // msgFlags' security bits: at most the user's level
  const UsmUser* user = nullptr;  // none: noAuthNoPriv under `user_name`
  std::string_view user_name;
  std::span<const std::uint8_t> engine_id;  // the authoritative engine's
  std::int32_t boots = 0;
  std::int32_t time = 0;
  std::span<const std::uint8_t> context_engine_id;
  std::string_view context_name;
  RequestMessage pdu;  // its version and community are not used
};

// An incoming message as far as it was processed. Its spans point into the datagram it was
// read from and into `plaintext`, so it moves but does not copy.
struct IncomingV3 {
  UsmError error = UsmError::kNone;
  std::optional<V3Message> message;
  const UsmUser* user = nullptr;  // set when the user is known
  bool authoritative = false;     // it carried this engine's ID
  Bytes plaintext;                // the scoped PDU, decrypted where it was encrypted
  std::optional<ScopedPdu> scoped;

  IncomingV3() = default;
  IncomingV3(IncomingV3&&) = default;
  IncomingV3& operator=(IncomingV3&&) = default;
  IncomingV3(const IncomingV3&) = delete;
  IncomingV3& operator=(const IncomingV3&) = delete;
};

// Orders byte strings, and finds them by span.
struct ByteOrder {
  using is_transparent = void;
  bool operator()(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
  }
};

class Usm {
 public:
  // `seconds`: a monotonic clock in seconds, for this engine's time and the clocks it learns.
  Usm(const Crypto& crypto, std::function<std::int64_t()> seconds, Bytes engine_id);

  UsmUsers& users() { return users_; }
  const UsmUsers& users() const { return users_; }

  // This engine.
  const Bytes& engine_id() const { return engine_id_; }
  void set_engine_id(Bytes id) { engine_id_ = std::move(id); }
  std::int32_t boots() const { return boots_; }
  // Time starts again from 0, as after a restart.
  void set_boots(std::int32_t boots);
  // Seconds since the engine was made or its boots were last set.
  std::int32_t engine_time() const;

  // Other engines.
  const EngineClock* ClockOf(std::span<const std::uint8_t> engine_id) const;
  // What a discovery Report told: taken as it is.
  void Synchronise(std::span<const std::uint8_t> engine_id, std::int32_t boots, std::int32_t time);
  // The engine's time now, as this engine estimates it.
  std::int32_t EstimatedTime(const EngineClock& clock) const;

  // The whole message, digest and encryption done.
  Bytes Protect(const OutgoingV3& outgoing);
  // The same from this engine as the authoritative one: its ID, boots and time are written over
  // the outgoing message's (notifications, responses, acknowledgements, Reports).
  Bytes ProtectFromThisEngine(OutgoingV3 outgoing);
  // The checks in RFC 3414's order; counts a failure.
  IncomingV3 Process(std::span<const std::uint8_t> datagram);
  // The Report this engine answers a failed reportable message with: the counter's value,
  // unauthenticated except for a time-window failure, which is authenticated for the user so
  // that the sender can trust the boots and time in it.
  Bytes ReportFor(const IncomingV3& incoming, std::int32_t request_id);

  std::uint32_t Count(UsmError error) const { return counters_[static_cast<int>(error)]; }

  // The clocks of the engines heard from most recently: an engine forgotten is met again as a
  // new one, whose first authenticated message sets its clock, so this many must be kept that a
  // flood of new engines cannot push out one a replay is aimed at.
  static constexpr std::size_t kMaxClocks = 50000;
  std::size_t clock_count() const { return clocks_.size(); }

 private:
  UsmError Fail(IncomingV3& incoming, UsmError error);
  UsmError CheckTimeliness(const V3Message& message, bool authoritative);
  bool Decrypt(const UsmUser& user, const LocalizedKeys& keys, const V3Message& message,
               Bytes& plaintext) const;

  UsmUsers users_;
  std::function<std::int64_t()> seconds_;
  std::int64_t started_at_ = 0;
  Bytes engine_id_;
  std::int32_t boots_ = 1;
  std::uint64_t salt_ = 0;
  std::array<std::uint32_t, kUsmErrorCount> counters_{};
  LruMap<Bytes, EngineClock, ByteOrder> clocks_{kMaxClocks};
};

// A new engine ID in the RFC 3411 format of octets chosen by the engine: 0x80 and an
// enterprise number, format 5, and eight random octets.
Bytes NewEngineId(const Crypto& crypto);

}  // namespace kivostrel
