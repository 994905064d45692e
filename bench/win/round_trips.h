// The two round trips against the canned responder: the control driven by a late-binding host,
// and two plain Winsock sockets doing the same exchange.
#pragma once

#include <cstdint>

#include "canned_responder.h"
#include "event_counter.h"
#include "late_bound_control.h"
#include "win/com_handles.h"

namespace kivostrel::winbench {

// The host's side of a GetRequest/GetResponse exchange with one control: SendGetRequest through
// Invoke, then messages dispatched until the Response with its request id and the Ready after
// the send have both reached the sink.
class ControlRoundTrips {
 public:
  ControlRoundTrips(const CLSID& clsid, std::uint16_t responder_port);
  ~ControlRoundTrips();
  ControlRoundTrips(const ControlRoundTrips&) = delete;
  ControlRoundTrips& operator=(const ControlRoundTrips&) = delete;

  // The control is created, its sink advised and its first Ready seen.
  bool ok() const noexcept { return ready_; }
  // `count` exchanges one after the other; false at the first that fails or takes over 5 s.
  bool Run(int count);

 private:
  EventCounter sink_;
  LateBoundControl control_;
  com::UniqueBstr remote_ip_, remote_port_, community_;
  com::UniqueSafeArray bindings_;
  std::int32_t next_request_id_ = 1;
  bool ready_ = false;
};

// The same exchange between a plain socket on this thread (sendto, then a blocking recvfrom)
// and the responder. The request is built and the answer decoded with the encoding layer, as
// the control does.
class WinsockRoundTrips {
 public:
  explicit WinsockRoundTrips(std::uint16_t responder_port);
  bool ok() const noexcept { return static_cast<bool>(socket_); }
  bool Run(int count);

 private:
  WinsockSession session_;
  UniqueSocket socket_;
  sockaddr_in responder_{};
  Bytes binding_;
  std::int32_t next_request_id_ = 1;
};

}  // namespace kivostrel::winbench
