// A scripted stand-in for the UDP socket component: it records every operation in one call log
// shared with the other fakes, and the test raises the component's events by hand.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "control/host.h"
#include "encoding/automation_error.h"
#include "transport/udp_socket.h"

namespace kivostrel::testing {

// Calls in the order they happened, across the socket, the label and the host's events.
using CallLog = std::vector<std::string>;

struct SentDatagram {
  std::string address;
  std::string port;
  Bytes message;
};

class FakeUdpSocket final : public UdpSocket {
 public:
  FakeUdpSocket(UdpSocketEvents& events, CallLog& log) : events_(events), log_(log) {}

  void OpenSocket(std::string_view local_port) override {
    log_.push_back("OpenSocket(" + std::string(local_port) + ")");
    if (fail_open) throw AutomationError(10048, "FakeUdpSocket", "Address in use");
  }
  void CloseSocket() override {
    log_.push_back("CloseSocket");
    if (on_close) on_close();
  }
  void SendDatagram(std::string_view address, std::string_view port,
                    std::span<const std::uint8_t> message) override {
    log_.push_back("SendDatagram");
    if (fail_send) throw AutomationError(5, "FakeUdpSocket", "Invalid procedure call or argument");
    sent.push_back(
        {std::string(address), std::string(port), Bytes(message.begin(), message.end())});
  }
  void SendUnreported(std::string_view address, std::string_view port,
                      std::span<const std::uint8_t> message) override {
    log_.push_back("SendUnreported");
    if (fail_unreported) throw std::runtime_error("the system is out of buffers");
    sent.push_back(
        {std::string(address), std::string(port), Bytes(message.begin(), message.end())});
  }
  std::string LocalAddressFor(std::string_view address) override {
    log_.push_back("LocalAddressFor(" + std::string(address) + ")");
    if (!local_address) throw AutomationError(11001, "FakeUdpSocket", "Host not found");
    return *local_address;
  }

  // Literal addresses and decimal ports only: as they are.
  std::optional<Peer> PeerOf(std::string_view address, std::string_view port) override {
    return Peer{std::string(address), std::string(port)};
  }
  std::uint16_t LocalPort() const override { return bound_port; }
  std::optional<SocketFailure> Rebind(std::string_view address, std::uint16_t port) override {
    log_.push_back("Rebind(" + std::string(address) + "," + std::to_string(port) + ")");
    if (rebind_failure) return rebind_failure;
    bound_port = port;
    return std::nullopt;
  }

  // The component's events, raised by the test.
  UdpSocketEvents& events() { return events_; }

  std::vector<SentDatagram> sent;
  std::optional<std::string> local_address = "10.1.2.3";
  bool fail_open = false;
  bool fail_send = false;
  bool fail_unreported = false;
  std::uint16_t bound_port = 0;
  std::optional<SocketFailure> rebind_failure;
  std::function<void()> on_close;

 private:
  UdpSocketEvents& events_;
  CallLog& log_;
};

class RecordingLabel final : public Label {
 public:
  explicit RecordingLabel(CallLog& log) : log_(log) {}
  void SetCaption(const std::string& text) override {
    caption = text;
    log_.push_back("Caption(" + text + ")");
  }
  void Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) override {
    if (fail_move) throw AutomationError(5, "RecordingLabel", "Invalid procedure call or argument");
    log_.push_back("Move(" + std::to_string(left) + "," + std::to_string(top) + "," +
                   std::to_string(width) + "," + std::to_string(height) + ")");
  }
  std::string caption;
  bool fail_move = false;

 private:
  CallLog& log_;
};

// A Response as a host saw it: the message, and the collection it was handed.
struct RecordedResponse : ReceivedMessage {
  std::shared_ptr<ObjectsCollection> collection;
};

class RecordingEvents final : public HostEvents {
 public:
  explicit RecordingEvents(CallLog& log) : log_(log) {}
  void Response(const ReceivedMessage& message,
                std::shared_ptr<ObjectsCollection>& Objects) override {
    log_.push_back("Response");
    responses.push_back({message, Objects});
    if (on_response) on_response(Objects);
  }
  void Ready() override {
    log_.push_back("Ready");
    if (on_ready) on_ready();
  }
  void WsError(std::int32_t Ecode, const std::string& Description,
               const std::string& Where) override {
    log_.push_back("WsError(" + std::to_string(Ecode) + "," + Description + "," + Where + ")");
  }

  std::vector<RecordedResponse> responses;
  std::function<void(std::shared_ptr<ObjectsCollection>&)> on_response;
  std::function<void()> on_ready;

 private:
  CallLog& log_;
};

}  // namespace kivostrel::testing
