#include "control/v3_exchanges.h"

#include "encoding/automation_error.h"
#include "encoding/message_decoder.h"
#include "encoding/v3_message.h"

namespace kivostrel {
namespace {

bool IsRequest(std::uint8_t tag) {
  return tag == kTagGetRequest || tag == kTagGetNextRequest || tag == kTagSetRequest ||
         tag == kTagGetBulkRequest;
}

bool SameEngine(const Bytes* known, std::span<const std::uint8_t> id) {
  return known && std::equal(known->begin(), known->end(), id.begin(), id.end());
}

// The counter a Report names with its first binding, as the decoder read it.
std::optional<UsmError> CounterOf(const ReceivedMessage& report) {
  if (report.Objects.empty()) return std::nullopt;
  return UsmErrorOfCounter(report.Objects[0].OIDName);
}

}  // namespace

V3Exchanges::V3Exchanges(const Crypto& crypto, std::function<std::int64_t()> seconds)
    : usm_(crypto, std::move(seconds), NewEngineId(crypto)) {
  std::array<std::uint8_t, 4> start{};
  crypto.RandomBytes(start);
  message_id_ = static_cast<std::int32_t>(
      (std::uint32_t{start[0]} << 24 | start[1] << 16 | start[2] << 8 | start[3]) & 0x3FFFFFFF);
}

const UsmUser& V3Exchanges::UserNamed(std::string_view user) const {
  const UsmUser* found = usm_.users().Find(user);
  if (!found) {
    throw AutomationError(kErrInvalidCall, kLibraryName,
                          "no SNMPv3 user \"" + std::string(user) + "\": add it with AddUser");
  }
  return *found;
}

std::int32_t V3Exchanges::NextMessageId() {
  message_id_ = message_id_ == 0x7FFFFFFF ? 1 : message_id_ + 1;
  return message_id_;
}

Bytes V3Exchanges::Request(std::string_view remote_ip, std::string_view remote_port,
                           const Peer& peer, std::string_view user, const RequestMessage& pdu) {
  UserNamed(user);
  // Built once now, so that a request that cannot be encoded fails at the send even when a
  // discovery goes out first and the request itself only later.
  BuildScopedPdu(context_engine_id, context_name, pdu);
  Pending pending{.remote_ip = std::string(remote_ip),
                  .remote_port = std::string(remote_port),
                  .peer = peer,
                  .user = std::string(user),
                  .pdu = pdu.pdu,
                  .request_id = pdu.request_id,
                  .error_status = pdu.error_status,
                  .error_index = pdu.error_index,
                  .bindings = Bytes(pdu.bindings.begin(), pdu.bindings.end())};
  const std::int32_t message_id = NextMessageId();
  Bytes datagram = Protected(message_id, pending);
  pending_.Put(message_id, std::move(pending));
  return datagram;
}

void V3Exchanges::PinEngine(const Peer& peer, Bytes engine_id) {
  if (engine_id.empty()) {
    pins_.erase(peer);
    return;
  }
  if (pins_.size() >= kMaxPins && !pins_.contains(peer)) {
    throw AutomationError(kErrInvalidCall, kLibraryName,
                          "no more than " + std::to_string(kMaxPins) + " pinned engine IDs");
  }
  pins_.insert_or_assign(peer, std::move(engine_id));
}

const Bytes* V3Exchanges::EngineOf(const Peer& peer) {
  if (const auto pin = pins_.find(peer); pin != pins_.end()) return &pin->second;
  const Target* target = targets_.Find(peer);
  return target ? &target->engine_id : nullptr;
}

bool V3Exchanges::EngineSettled(const Peer& peer) const {
  if (pins_.contains(peer)) return true;
  const Target* target = targets_.Peek(peer);
  return target && target->confirmed;
}

Bytes V3Exchanges::Protected(std::int32_t message_id, Pending& pending) {
  const Bytes* engine = EngineOf(pending.peer);
  pending.discovering = engine == nullptr;
  if (pending.discovering) {
    // A reportable, unauthenticated request for nothing: the Report names the engine.
    return usm_.Protect({.message_id = message_id,
                         .reportable = true,
                         .pdu = {.pdu = kTagGetRequest, .request_id = message_id}});
  }
  // An engine known without its clock (pinned, or its clock forgotten) is sent boots and time
  // 0, which it answers with an authenticated Report of its clock (RFC 3414 4).
  const EngineClock* clock = usm_.ClockOf(*engine);
  return usm_.Protect({.message_id = message_id,
                       .reportable = true,
                       .level = 0x03,
                       .user = &UserNamed(pending.user),
                       .engine_id = *engine,
                       .boots = clock ? clock->boots : 0,
                       .time = clock ? usm_.EstimatedTime(*clock) : 0,
                       .context_engine_id = context_engine_id.empty() ? *engine : context_engine_id,
                       .context_name = context_name,
                       .pdu = {.pdu = pending.pdu,
                               .request_id = pending.request_id,
                               .error_status = pending.error_status,
                               .error_index = pending.error_index,
                               .bindings = pending.bindings}});
}

Bytes V3Exchanges::Notification(std::string_view user, const RequestMessage& pdu) {
  const UsmUser& sender = UserNamed(user);
  return usm_.ProtectFromThisEngine(
      {.message_id = NextMessageId(),
       .level = 0x03,
       .user = &sender,
       .context_engine_id = context_engine_id.empty() ? usm_.engine_id() : context_engine_id,
       .context_name = context_name,
       .pdu = pdu});
}

Bytes V3Exchanges::Response(std::string_view remote_ip, std::string_view remote_port,
                            const RequestMessage& pdu) {
  const RequestKey key{std::string(remote_ip), std::string(remote_port), pdu.request_id};
  const Answerable* request = answerable_.Peek(key);
  if (request == nullptr) {
    throw AutomationError(kErrInvalidCall, kLibraryName,
                          "no SNMPv3 request " + std::to_string(pdu.request_id) + " from " +
                              std::string(remote_ip) + ":" + std::string(remote_port) +
                              " to answer");
  }
  Bytes datagram = usm_.ProtectFromThisEngine({.message_id = request->message_id,
                                               .level = request->level,
                                               .user = &UserNamed(request->user),
                                               .context_engine_id = request->context_engine_id,
                                               .context_name = request->context_name,
                                               .pdu = pdu});
  answerable_.Erase(key);
  return datagram;
}

bool V3Exchanges::Resend(const IncomingV3& in, const Peer& from, std::optional<UsmError> counter,
                         Outcome& outcome) {
  const V3Message& m = *in.message;
  Pending* found = pending_.Find(m.message_id);
  // A Report from anywhere else is no answer to the request, which goes on waiting.
  if (found == nullptr || found->peer != from || found->sent_again || m.engine_id.empty()) {
    return false;
  }
  const bool authenticated = (m.flags & kFlagAuth) != 0;
  const bool same_engine = SameEngine(EngineOf(from), m.engine_id);
  // A discovery's answer, or an engine that has restarted with a new ID while nothing vouched
  // for the old one; or, vouched for by the user's key, a clock that moved on.
  const bool again = (counter == UsmError::kUnknownEngineId && !EngineSettled(from)) ||
                     (counter == UsmError::kNotInTimeWindow && authenticated && same_engine);
  if (!again) return false;
  Pending pending = std::move(*found);
  pending_.Erase(m.message_id);
  // An unauthenticated Report teaches only an engine's first clock: one learnt already (as a
  // notification receiver, say) is not moved back by a forgery.
  if (authenticated || !usm_.ClockOf(m.engine_id)) usm_.Synchronise(m.engine_id, m.boots, m.time);
  if (!pins_.contains(from)) {
    targets_.Put(from, Target{Bytes(m.engine_id.begin(), m.engine_id.end()), authenticated});
  }
  if (!pending.discovering) pending.sent_again = true;
  if (!usm_.users().Find(pending.user)) {
    // Removed while the discovery was under way: the request ends here, and the host hears why.
    outcome.for_host = true;
    outcome.user = pending.user;
    outcome.security_error = SecurityErrorText(UsmError::kUnknownUserName);
    return true;
  }
  const std::int32_t message_id = NextMessageId();
  Send send{pending.remote_ip, pending.remote_port, Protected(message_id, pending)};
  pending_.Put(message_id, std::move(pending));
  outcome.sends.push_back(std::move(send));
  return true;
}

void V3Exchanges::Answered(const IncomingV3& in, const Peer& from) {
  const V3Message& m = *in.message;
  const Pending* pending = pending_.Peek(m.message_id);
  if (pending == nullptr || pending->peer != from) return;
  if ((m.flags & kFlagAuth) && !pins_.contains(from)) {
    if (Target* target = targets_.Find(from);
        target && SameEngine(&target->engine_id, m.engine_id)) {
      target->confirmed = true;
    }
  }
  pending_.Erase(m.message_id);
}

V3Exchanges::Outcome V3Exchanges::Receive(const std::string& remote_ip,
                                          const std::string& remote_port,
                                          std::span<const std::uint8_t> datagram,
                                          std::int32_t string_type) {
  Outcome outcome;
  IncomingV3 in = usm_.Process(datagram);
  if (in.error != UsmError::kNone) {
    const bool reportable = in.message && (in.message->flags & kFlagReportable);
    const bool usm_failure = in.error >= UsmError::kUnsupportedSecLevel;
    if (reportable && usm_failure) {
      std::int32_t request_id = 0;
      if (in.scoped) {
        if (const auto fields = ReadRequestPdu(in.scoped->pdu)) request_id = fields->request_id;
      }
      outcome.sends.push_back({remote_ip, remote_port, usm_.ReportFor(in, request_id)});
    }
    // Discovery, and the probe for this engine's clock that follows it (authenticated, boots
    // and time 0: RFC 3414 4), are the engines' business; every other failure is the host's.
    const bool clock_probe = in.error == UsmError::kNotInTimeWindow && in.authoritative &&
                             in.message->boots == 0 && in.message->time == 0;
    if (in.error != UsmError::kUnknownEngineId && !clock_probe) {
      outcome.for_host = true;
      if (in.message) outcome.user = std::string(in.message->user);
      outcome.security_error = SecurityErrorText(in.error);
    }
    return outcome;
  }

  const V3Message& m = *in.message;
  const ScopedPdu& scoped = *in.scoped;
  const Peer from{remote_ip, remote_port};
  ReceivedMessage pdu = DecodeReceivedPdu(scoped.pdu, string_type);
  if (scoped.pdu_tag == kTagReport) {
    const auto counter = CounterOf(pdu);
    if (Resend(in, from, counter, outcome)) return outcome;
    if (counter) outcome.security_error = SecurityErrorText(*counter);
  } else if (scoped.pdu_tag == kTagGetResponse) {
    Answered(in, from);
  }
  const std::string_view user = in.user ? std::string_view(in.user->name) : m.user;
  const auto fields = ReadRequestPdu(scoped.pdu);
  if (fields && IsRequest(scoped.pdu_tag)) {
    answerable_.Put(
        RequestKey{remote_ip, remote_port, fields->request_id},
        Answerable{m.message_id, std::string(user),
                   static_cast<std::uint8_t>(m.flags & kSecurityLevelFlags),
                   Bytes(scoped.context_engine_id.begin(), scoped.context_engine_id.end()),
                   std::string(scoped.context_name)});
  }
  outcome.for_host = true;
  outcome.user = std::string(user);
  outcome.pdu = std::move(pdu);
  // The same rule as for every version: an inform is acknowledged once it was read whole.
  if (fields && in.user && IsWholeInform(*outcome.pdu)) {
    RequestMessage acknowledgement = *fields;
    acknowledgement.pdu = kTagGetResponse;
    outcome.sends.push_back({remote_ip, remote_port,
                             usm_.ProtectFromThisEngine(
                                 {.message_id = m.message_id,
                                  .level = static_cast<std::uint8_t>(m.flags & kSecurityLevelFlags),
                                  .user = in.user,
                                  .context_engine_id = scoped.context_engine_id,
                                  .context_name = scoped.context_name,
                                  .pdu = acknowledgement})});
  }
  return outcome;
}

}  // namespace kivostrel
