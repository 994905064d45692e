// SNMPv3 for the engine: what is sent under a user and what becomes of each message received.
//
// As a manager it discovers an agent's engine before the first request to it (the request
// waits for the discovery's Report) and sends a request again, once, after a Report that its
// engine ID or time was out of date. A Report or answer counts only from the peer the request
// went to, with the request's msgID. The engine an unauthenticated discovery named is taken
// until an authenticated message from that peer confirms it; from then on, as for an engine the
// host pinned, nothing unauthenticated changes it. As an agent and notification receiver it is the
// authoritative engine: it answers discovery and failed requests with Reports, acknowledges
// informs, and remembers each request it delivered so that a response can be sent with the
// request's security parameters.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "encoding/bytes.h"
#include "encoding/lru_map.h"
#include "encoding/messages.h"
#include "encoding/received_message.h"
#include "security/usm.h"
#include "transport/udp_socket.h"

namespace kivostrel {

class V3Exchanges {
 public:
  V3Exchanges(const Crypto& crypto, std::function<std::int64_t()> seconds);

  Usm& usm() { return usm_; }
  const Usm& usm() const { return usm_; }
  std::string context_name;
  // Empty: the authoritative engine's ID, as the context engine ID of what is sent.
  Bytes context_engine_id;

  using Peer = UdpSocket::Peer;

  // The datagram that goes out now for a request (or an InformRequest) of the host's to an
  // agent: the request itself when the agent's engine is known, else a discovery. `peer` is
  // where its answers come from (UdpSocket::PeerOf). Throws AutomationError 5 for a user that
  // was not added, and what building the request throws (6 for one that cannot be encoded).
  Bytes Request(std::string_view remote_ip, std::string_view remote_port, const Peer& peer,
                std::string_view user, const RequestMessage& pdu);
  // Requests to `peer` go to this engine from now on, without discovery, and nothing
  // unauthenticated changes it; the empty ID forgets the pin. Throws AutomationError 5 past
  // kMaxPins pins.
  void PinEngine(const Peer& peer, Bytes engine_id);
  // A notification from this engine (it is authoritative for it).
  Bytes Notification(std::string_view user, const RequestMessage& pdu);
  // The response to a request delivered from this sender with this request id, under the
  // request's user, level and context. Throws AutomationError 5 when there was none.
  Bytes Response(std::string_view remote_ip, std::string_view remote_port,
                 const RequestMessage& pdu);

  struct Send {
    std::string remote_ip;
    std::string remote_port;
    Bytes datagram;
  };
  struct Outcome {
    std::vector<Send> sends;  // Reports, acknowledgements, requests that waited
    // Whether the host hears of the message: not when it was the engines' own business
    // (discovery, the clock probe, a Report that made a request go out again).
    bool for_host = false;
    // The user name the message carried (or, for a request that ended here, its user's).
    std::string user;
    // The scoped PDU as the decoder read it (Command, RequestId, ErrorStatus, ErrorIndex,
    // Objects); none for a message refused, which the host hears of as refused.
    std::optional<ReceivedMessage> pdu;
    std::string security_error;
  };
  // `remote_ip` and `remote_port` as the socket gives them; `string_type` as for any message.
  Outcome Receive(const std::string& remote_ip, const std::string& remote_port,
                  std::span<const std::uint8_t> datagram, std::int32_t string_type);

  // Bounds of the tables traffic and the host make grow; past them the least recently used
  // entry goes (pins are refused instead: a forgotten pin would bring discovery back).
  static constexpr std::size_t kMaxPending = 1024;     // requests waiting for an answer
  static constexpr std::size_t kMaxAnswerable = 1024;  // requests delivered, for SendGetResponse
  static constexpr std::size_t kMaxTargets = 4096;     // agents' engines, by peer
  static constexpr std::size_t kMaxPins = 4096;
  std::size_t pending_count() const { return pending_.size(); }
  std::size_t answerable_count() const { return answerable_.size(); }
  std::size_t target_count() const { return targets_.size(); }

 private:
  struct Pending {
    std::string remote_ip;  // as the host wrote them, for sending again
    std::string remote_port;
    Peer peer;  // where its answers come from
    std::string user;
    BerTag pdu = kTagGetRequest;
    std::int32_t request_id = 0;
    std::int32_t error_status = 0;
    std::int32_t error_index = 0;
    Bytes bindings;
    bool discovering = false;
    bool sent_again = false;
  };
  struct Target {
    Bytes engine_id;
    bool confirmed = false;  // an authenticated message from the peer came from this engine
  };
  struct Answerable {
    std::int32_t message_id = 0;
    std::string user;
    std::uint8_t level = 0;
    Bytes context_engine_id;
    std::string context_name;
  };
  using RequestKey = std::tuple<std::string, std::string, std::int32_t>;

  const UsmUser& UserNamed(std::string_view user) const;
  std::int32_t NextMessageId();
  // The engine requests to `peer` go to, pinned or learnt; null when it must be discovered.
  const Bytes* EngineOf(const Peer& peer);
  // Whether an unauthenticated message may no longer change the engine of `peer`.
  bool EngineSettled(const Peer& peer) const;
  // The request protected for the agent's engine as known now, or a discovery.
  Bytes Protected(std::int32_t message_id, Pending& pending);
  // A Report for a request this engine sent to `from`: true when it was handled here (the
  // request went out again, or ended because its user was removed meanwhile).
  bool Resend(const IncomingV3& incoming, const Peer& from, std::optional<UsmError> counter,
              Outcome& outcome);
  // An answer from `from` to one of the requests: it ends the wait, and an authenticated one
  // confirms the engine it came from.
  void Answered(const IncomingV3& incoming, const Peer& from);

  Usm usm_;
  std::int32_t message_id_ = 0;
  std::map<Peer, Bytes> pins_;
  LruMap<Peer, Target> targets_{kMaxTargets};
  LruMap<std::int32_t, Pending> pending_{kMaxPending};  // by msgID
  LruMap<RequestKey, Answerable> answerable_{kMaxAnswerable};
};

}  // namespace kivostrel
