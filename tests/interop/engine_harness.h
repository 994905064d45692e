// A native host for the control in the interoperability tests: the engine over the POSIX UDP
// socket bound to 127.0.0.1, with its events recorded and a pump that drives it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "control/host.h"
#include "control/kivostrel.h"
#include "encoding/hex.h"
#include "security/openssl/openssl_crypto.h"
#include "transport/posix/posix_udp_socket.h"

namespace kivostrel::testing {

// One Response event's message, and the keys of the rows in its collection.
struct ResponseEvent : ReceivedMessage {
  std::vector<std::string> keys;
};

struct WsErrorEvent {
  std::int32_t Ecode = 0;
  std::string Description;
  std::string Where;
};

class EngineHarness final : public HostEvents, public Label {
 public:
  // Runs inside Response, after the event has been recorded: a simple agent answers there.
  std::function<void(const ResponseEvent&)> on_response;
  // Runs inside Ready: the control may send again.
  std::function<void()> on_ready;

  // `local_port` 0 lets the system choose the port.
  explicit EngineHarness(std::uint16_t local_port = 0, kivOstrel::Options options = {}) {
    if (!options.crypto) options.crypto = std::make_shared<const OpenSslCrypto>();
    engine_ = std::make_unique<kivOstrel>(
        *this, *this,
        [this, local_port](UdpSocketEvents& events) {
          auto socket = std::make_unique<PosixUdpSocket>(
              events, UdpSocketOptions{.local_address = "127.0.0.1", .local_port = local_port});
          socket_ = socket.get();
          return socket;
        },
        std::move(options));
  }

  kivOstrel& engine() { return *engine_; }
  PosixUdpSocket& socket() { return *socket_; }
  std::string Port() const { return std::to_string(socket_->LocalPort()); }

  // One turn of the host's loop.
  void PumpOnce(int timeout_ms = 10) { socket_->Pump(timeout_ms); }

  // Pumps until `done` holds or `timeout` passes; returns `done()`.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < deadline) PumpOnce();
    return done();
  }

  // Pumps until the engine may send (Stat 1).
  void WaitReady() {
    ASSERT_TRUE(PumpUntil([this] { return engine_->Stat() == 1; }))
        << "the control never became ready; Stat=" << engine_->Stat();
  }

  // Pumps until `count` Responses have arrived in all.
  bool WaitResponses(std::size_t count,
                     std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    return PumpUntil([this, count] { return responses.size() >= count; }, timeout);
  }

  std::vector<ResponseEvent> responses;
  std::vector<WsErrorEvent> errors;
  int ready_events = 0;
  std::string caption;

 private:
  void Response(const ReceivedMessage& message,
                std::shared_ptr<ObjectsCollection>& Objects) override {
    ResponseEvent event{message};
    for (std::int32_t i = 1; i <= Objects->Count(); ++i) {
      event.keys.push_back(Objects->KeyAt(i).value_or("<no key>"));
    }
    responses.push_back(std::move(event));
    if (on_response) on_response(responses.back());
  }
  void Ready() override {
    ++ready_events;
    if (on_ready) on_ready();
  }
  void WsError(std::int32_t Ecode, const std::string& Description,
               const std::string& Where) override {
    errors.push_back({Ecode, Description, Where});
  }
  void SetCaption(const std::string& text) override { caption = text; }
  void Move(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}

  PosixUdpSocket* socket_ = nullptr;
  std::unique_ptr<kivOstrel> engine_;
};

// A decoded value as text, for comparisons and messages: numbers in decimal, byte arrays as
// hex, empty as "<empty>".
inline std::string ValueText(const Variant& value) {
  if (IsEmpty(value)) return "<empty>";
  if (const auto* bytes = std::get_if<Bytes>(&value)) return "hex:" + ToHex(*bytes);
  return ValueToText(value);
}

}  // namespace kivostrel::testing
