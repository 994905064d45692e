#include "encoding/message_decoder.h"
#include "encoding/messages.h"
#include "encoding/value_constructors.h"
#include "round_trips.h"

namespace kivostrel::winbench {

WinsockRoundTrips::WinsockRoundTrips(std::uint16_t responder_port)
    : socket_(OpenLoopbackSocket()),
      responder_(LoopbackAddress(responder_port)),
      binding_(SNMPNullValue("1.3.6.1.2.1.1.1.0")) {
  const DWORD timeout_ms = 5000;
  if (socket_ && ::setsockopt(socket_.get(), SOL_SOCKET, SO_RCVTIMEO,
                              reinterpret_cast<const char*>(&timeout_ms), sizeof timeout_ms) != 0)
    socket_.reset();
}

bool WinsockRoundTrips::Run(int count) {
  std::uint8_t buffer[2048];
  for (int i = 0; i < count; ++i) {
    const std::int32_t id = next_request_id_++;
    const Bytes request = BuildRequestMessage(
        {.pdu = kTagGetRequest, .community = "public", .request_id = id, .bindings = binding_});
    if (!SendTo(socket_.get(), request, responder_)) return false;
    const int received = ::recvfrom(socket_.get(), reinterpret_cast<char*>(buffer), sizeof buffer,
                                    0, nullptr, nullptr);
    if (received <= 0) return false;
    const ReceivedMessage answer =
        DecodeReceivedMessage(std::span(buffer, static_cast<std::size_t>(received)), 0);
    if (answer.RequestId != id) return false;
  }
  return true;
}

}  // namespace kivostrel::winbench
