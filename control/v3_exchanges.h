// SNMPv3 for the engine: what is sent under a user and what becomes of each message received.
//
// As a manager it discovers an agent's engine before the first request to it (the request
// waits for the discovery's Report) and sends a request again, once, after a Report that its
// engine ID or time was out of date. As an agent and notification receiver it is the
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
#include "encoding/messages.h"
#include "encoding/received_message.h"
#include "security/usm.h"

namespace kivostrel {

class V3Exchanges {
 public:
  V3Exchanges(const Crypto& crypto, std::function<std::int64_t()> seconds);

  Usm& usm() { return usm_; }
  const Usm& usm() const { return usm_; }
  std::string context_name;
  // Empty: the authoritative engine's ID, as the context engine ID of what is sent.
  Bytes context_engine_id;

  // The datagram that goes out now for a request (or an InformRequest) of the host's to an
  // agent: the request itself when the agent's engine is known, else a discovery. Throws
  // AutomationError 5 for a user that was not added.
  Bytes Request(std::string_view remote_ip, std::string_view remote_port, std::string_view user,
                const RequestMessage& pdu);
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
    // For the host, unless the message was the engines' own business (discovery).
    std::optional<ReceivedMessage> message;
    std::string security_error;
  };
  // `remote_ip` and `remote_port` as the socket gives them; `string_type` as for any message.
  Outcome Receive(const std::string& remote_ip, const std::string& remote_port,
                  std::span<const std::uint8_t> datagram, std::int32_t string_type);

 private:
  struct Pending {
    std::string remote_ip;
    std::string remote_port;
    std::string user;
    BerTag pdu = kTagGetRequest;
    std::int32_t request_id = 0;
    std::int32_t error_status = 0;
    std::int32_t error_index = 0;
    Bytes bindings;
    bool discovering = false;
    bool sent_again = false;
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
  // The request protected for the agent's engine as known now, or a discovery.
  Bytes Protected(std::int32_t message_id, Pending& pending);
  void Remember(std::int32_t message_id, Pending pending);
  // A Report for a request this engine sent: true when it was handled here (the request went
  // out again).
  bool Resend(const IncomingV3& incoming, Outcome& outcome);

  Usm usm_;
  std::int32_t message_id_ = 0;
  std::map<std::string, Bytes> engine_of_target_;  // "address\nport" as the host wrote them
  std::map<std::int32_t, Pending> pending_;
  std::map<RequestKey, Answerable> answerable_;
};

}  // namespace kivostrel
