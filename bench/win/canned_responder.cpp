#include "canned_responder.h"

#include "encoding/message_decoder.h"
#include "encoding/messages.h"
#include "encoding/value_constructors.h"

namespace kivostrel::winbench {

const Bytes& CannedResponder::Binding() {
  static const Bytes binding =
      SNMPStringValue("1.3.6.1.2.1.1.1.0", "kivOstrel canned responder on loopback");
  return binding;
}

Bytes CannedResponder::Answer(std::int32_t request_id) {
  return BuildRequestMessage({.pdu = kTagGetResponse,
                              .community = "public",
                              .request_id = request_id,
                              .bindings = Binding()});
}

CannedResponder::CannedResponder()
    : socket_(OpenLoopbackSocket()),
      port_(socket_ ? PortOf(socket_.get()) : 0),
      thread_([this] { Serve(); }) {}

CannedResponder::~CannedResponder() {
  stopping_ = true;
  UniqueSocket waker = OpenLoopbackSocket();
  if (waker && port_ != 0) SendTo(waker.get(), {}, LoopbackAddress(port_));
  thread_.Join();
}

void CannedResponder::Serve() {
  if (!socket_) return;
  std::uint8_t buffer[2048];
  for (;;) {
    sockaddr_in from{};
    int from_length = sizeof from;
    const int received = ::recvfrom(socket_.get(), reinterpret_cast<char*>(buffer), sizeof buffer,
                                    0, reinterpret_cast<sockaddr*>(&from), &from_length);
    if (stopping_) return;
    if (received <= 0) continue;
    const ReceivedMessage request =
        DecodeReceivedMessage(std::span(buffer, static_cast<std::size_t>(received)), 0);
    if (request.Command != "GetRequest") continue;
    if (SendTo(socket_.get(), Answer(request.RequestId), from)) ++answered_;
  }
}

}  // namespace kivostrel::winbench
