// A control engine on a scripted socket component, with recording label and host events.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "control/kivostrel.h"
#include "security/openssl/openssl_crypto.h"
#include "tests/support/fake_udp_socket.h"
#include "tests/support/test_support.h"

namespace kivostrel::testing {

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() { Create(); }

  void Create(std::shared_ptr<const Crypto> crypto = std::make_shared<const OpenSslCrypto>()) {
    log.clear();
    kivOstrel::Options options;
    options.tick_count = [this] { return tick_count_ms; };
    options.crypto = std::move(crypto);
    options.seconds = [this] { return seconds_now; };
    engine = std::make_unique<kivOstrel>(
        events, label,
        [this](UdpSocketEvents& sink) {
          auto socket = std::make_unique<FakeUdpSocket>(sink, log);
          udp = socket.get();
          return socket;
        },
        options);
  }

  // The control after the component reported its socket open.
  kivOstrel& ReadyEngine() {
    udp->events().SocketReady();
    log.clear();
    return *engine;
  }

  const Bytes& LastSent() const { return udp->sent.back().message; }

  CallLog log;
  RecordingLabel label{log};
  RecordingEvents events{log};
  std::uint32_t tick_count_ms = 0;
  std::int64_t seconds_now = 1000;
  FakeUdpSocket* udp = nullptr;
  std::unique_ptr<kivOstrel> engine;
};

}  // namespace kivostrel::testing
