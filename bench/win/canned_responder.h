// The agent both round trips talk to: a blocking Winsock socket on 127.0.0.1, on a thread of its
// own, that answers every GetRequest with one fixed GetResponse carrying the request's id.
#pragma once

#include <atomic>
#include <cstdint>

#include "encoding/bytes.h"
#include "loopback_socket.h"
#include "worker_thread.h"

namespace kivostrel::winbench {

class CannedResponder {
 public:
  CannedResponder();
  // Stops the thread (an empty datagram wakes it) and closes the socket.
  ~CannedResponder();
  CannedResponder(const CannedResponder&) = delete;
  CannedResponder& operator=(const CannedResponder&) = delete;

  bool ok() const noexcept { return port_ != 0 && thread_.started(); }
  std::uint16_t port() const noexcept { return port_; }
  long answered() const noexcept { return answered_.load(); }

  // The binding the GetResponse carries, and the GetResponse for `request_id`.
  static const Bytes& Binding();
  static Bytes Answer(std::int32_t request_id);

 private:
  void Serve();

  WinsockSession session_;
  UniqueSocket socket_;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<long> answered_{0};
  WorkerThread thread_;  // last: starts once everything it uses is ready
};

}  // namespace kivostrel::winbench
