#include "control/v3_exchanges.h"

#include "encoding/automation_error.h"
#include "encoding/element_reader.h"
#include "encoding/message_decoder.h"
#include "encoding/v3_message.h"

namespace kivostrel {
namespace {

// Kept for a bounded number of requests: older ones are forgotten.
constexpr std::size_t kMaxRemembered = 1024;

std::string TargetKey(std::string_view ip, std::string_view port) {
  return std::string(ip) + '\n' + std::string(port);
}

bool IsRequest(std::uint8_t tag) {
  return tag == kTagGetRequest || tag == kTagGetNextRequest || tag == kTagSetRequest ||
         tag == kTagGetBulkRequest;
}

// The object name of a Report's first binding, which names the counter it reports.
std::string FirstBindingName(std::span<const std::uint8_t> pdu) {
  const auto fields = ReadRequestPdu(pdu);
  if (!fields) return {};
  const auto binding = ReadElementHeader(fields->bindings);
  if (!binding || binding->tag != kTagSequence) return {};
  const auto name = ReadElementHeader(binding->content);
  std::string text;
  if (!name || name->tag != kTagObjectId || !AppendObjectIdText(name->content, text)) return {};
  return text;
}

ReceivedMessage FailureMessage(const IncomingV3& in) {
  ReceivedMessage message;
  message.Version = 3;
  message.Command = "Report";
  message.ErrorStatus = -1;
  if (in.message) message.Community = std::string(in.message->user);
  return message;
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
                           std::string_view user, const RequestMessage& pdu) {
  UserNamed(user);
  Pending pending{.remote_ip = std::string(remote_ip),
                  .remote_port = std::string(remote_port),
                  .user = std::string(user),
                  .pdu = pdu.pdu,
                  .request_id = pdu.request_id,
                  .error_status = pdu.error_status,
                  .error_index = pdu.error_index,
                  .bindings = Bytes(pdu.bindings.begin(), pdu.bindings.end())};
  const std::int32_t message_id = NextMessageId();
  Bytes datagram = Protected(message_id, pending);
  Remember(message_id, std::move(pending));
  return datagram;
}

Bytes V3Exchanges::Protected(std::int32_t message_id, Pending& pending) {
  const auto engine = engine_of_target_.find(TargetKey(pending.remote_ip, pending.remote_port));
  const EngineClock* clock =
      engine == engine_of_target_.end() ? nullptr : usm_.ClockOf(engine->second);
  pending.discovering = clock == nullptr;
  if (pending.discovering) {
    // A reportable, unauthenticated request for nothing: the Report names the engine.
    return usm_.Protect({.message_id = message_id,
                         .reportable = true,
                         .pdu = {.pdu = kTagGetRequest, .request_id = message_id}});
  }
  return usm_.Protect(
      {.message_id = message_id,
       .reportable = true,
       .level = 0x03,
       .user = &UserNamed(pending.user),
       .engine_id = engine->second,
       .boots = clock->boots,
       .time = usm_.EstimatedTime(*clock),
       .context_engine_id = context_engine_id.empty() ? engine->second : context_engine_id,
       .context_name = context_name,
       .pdu = {.pdu = pending.pdu,
               .request_id = pending.request_id,
               .error_status = pending.error_status,
               .error_index = pending.error_index,
               .bindings = pending.bindings}});
}

void V3Exchanges::Remember(std::int32_t message_id, Pending pending) {
  if (pending_.size() >= kMaxRemembered) pending_.erase(pending_.begin());
  pending_.insert_or_assign(message_id, std::move(pending));
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
  const auto found =
      answerable_.find({std::string(remote_ip), std::string(remote_port), pdu.request_id});
  if (found == answerable_.end()) {
    throw AutomationError(kErrInvalidCall, kLibraryName,
                          "no SNMPv3 request " + std::to_string(pdu.request_id) + " from " +
                              std::string(remote_ip) + ":" + std::string(remote_port) +
                              " to answer");
  }
  const Answerable& request = found->second;
  Bytes datagram = usm_.ProtectFromThisEngine({.message_id = request.message_id,
                                               .level = request.level,
                                               .user = &UserNamed(request.user),
                                               .context_engine_id = request.context_engine_id,
                                               .context_name = request.context_name,
                                               .pdu = pdu});
  answerable_.erase(found);
  return datagram;
}

bool V3Exchanges::Resend(const IncomingV3& in, Outcome& outcome) {
  const auto found = pending_.find(in.message->message_id);
  if (found == pending_.end()) return false;
  Pending pending = std::move(found->second);
  pending_.erase(found);
  const auto counter = UsmErrorOfCounter(FirstBindingName(in.scoped->pdu));
  const bool authenticated = (in.message->flags & kFlagAuth) != 0;
  // A discovery's answer, an engine that has restarted with a new ID, or (vouched for by the
  // user's key) a clock that moved on: once more with what the Report told.
  const bool again =
      !pending.sent_again && (counter == UsmError::kUnknownEngineId ||
                              (counter == UsmError::kNotInTimeWindow && authenticated));
  if (!again) return false;
  const V3Message& m = *in.message;
  if (m.engine_id.empty()) return false;
  usm_.Synchronise(m.engine_id, m.boots, m.time);
  engine_of_target_[TargetKey(pending.remote_ip, pending.remote_port)] =
      Bytes(m.engine_id.begin(), m.engine_id.end());
  if (!pending.discovering) pending.sent_again = true;
  const std::int32_t message_id = NextMessageId();
  Send send{pending.remote_ip, pending.remote_port, Protected(message_id, pending)};
  Remember(message_id, std::move(pending));
  outcome.sends.push_back(std::move(send));
  return true;
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
    // Discovery is the engines' business; every other failure is the host's to know of.
    if (in.error != UsmError::kUnknownEngineId) {
      outcome.message = FailureMessage(in);
      outcome.security_error = SecurityErrorText(in.error);
    }
    return outcome;
  }

  const V3Message& m = *in.message;
  const ScopedPdu& scoped = *in.scoped;
  if (scoped.pdu_tag == kTagReport) {
    if (Resend(in, outcome)) return outcome;
    if (const auto counter = UsmErrorOfCounter(FirstBindingName(scoped.pdu))) {
      outcome.security_error = SecurityErrorText(*counter);
    }
  } else if (scoped.pdu_tag == kTagGetResponse) {
    pending_.erase(m.message_id);
  }
  const std::string_view user = in.user ? std::string_view(in.user->name) : m.user;
  const auto fields = ReadRequestPdu(scoped.pdu);
  if (fields && IsRequest(scoped.pdu_tag)) {
    if (answerable_.size() >= kMaxRemembered) answerable_.erase(answerable_.begin());
    answerable_.insert_or_assign(
        RequestKey{remote_ip, remote_port, fields->request_id},
        Answerable{m.message_id, std::string(user),
                   static_cast<std::uint8_t>(m.flags & kSecurityLevelFlags),
                   Bytes(scoped.context_engine_id.begin(), scoped.context_engine_id.end()),
                   std::string(scoped.context_name)});
  }
  if (fields && scoped.pdu_tag == kTagInformRequest && in.user) {
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
  outcome.message = DecodeReceivedMessage(CommunityFormOf(user, scoped.pdu), string_type);
  return outcome;
}

}  // namespace kivostrel
