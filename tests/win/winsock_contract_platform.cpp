// The contract suite's platform under Wine or Windows: WinsockUdpSocket, whose events arrive
// while this thread dispatches window messages. The far end is the tests' UdpPeer.
#include <winsock2.h>
// After winsock2.h, so that it does not bring in the old winsock.h.
#include <windows.h>

#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include "tests/transport/udp_socket_contract.h"
#include "transport/win/winsock_udp_socket.h"
#include "udp_peer.h"
#include "win/win32_handles.h"

namespace kivostrel::contract {
namespace {

// Dispatches one waiting message of this thread; false when there is none.
bool DispatchOne() {
  MSG message{};
  if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
  return true;
}

DWORD WINAPI RunWork(void* work) {
  (*static_cast<std::function<void()>*>(work))();
  return 0;
}

}  // namespace

// Every component of this thread shares its message queue: one message, whichever it is.
void RunOnce(UdpSocketCore* /*socket*/, int timeout_ms) {
  if (DispatchOne()) return;
  ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeout_ms), QS_ALLINPUT);
  DispatchOne();
}

void WaitWithoutEvents(int timeout_ms) {
  ::Sleep(static_cast<DWORD>(timeout_ms));
}

const PlatformErrors kErrors{WSAENOTSOCK, WSAEINVAL,     WSATYPE_NOT_FOUND, WSAHOST_NOT_FOUND,
                             WSAEMSGSIZE, WSAEADDRINUSE, WSAEADDRNOTAVAIL};

std::unique_ptr<UdpSocketCore> MakeSocket(UdpSocketEvents& events, UdpSocketOptions options) {
  return std::make_unique<WinsockUdpSocket>(events, std::move(options));
}

// mingw's win32 thread model has no std::thread.
struct OtherThread::Native {
  std::function<void()> work;
  UniqueHandle thread;
};

OtherThread::OtherThread(std::function<void()> work)
    : native_(std::make_unique<Native>(Native{std::move(work), {}})) {
  native_->thread.reset(::CreateThread(nullptr, 0, &RunWork, &native_->work, 0, nullptr));
  EXPECT_TRUE(native_->thread);
}

OtherThread::~OtherThread() {
  if (native_->thread) ::WaitForSingleObject(native_->thread.get(), INFINITE);
}

struct PlainPeer::Socket {
  wintest::UdpPeer peer;
};

PlainPeer::PlainPeer() : socket_(std::make_unique<Socket>()) {
  EXPECT_TRUE(socket_->peer.ok());
}

PlainPeer::~PlainPeer() = default;

std::uint16_t PlainPeer::Port() const {
  return socket_->peer.port();
}

void PlainPeer::SendTo(std::uint16_t port, const Bytes& bytes) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(port);
  EXPECT_TRUE(socket_->peer.SendTo(bytes, to));
}

Datagram PlainPeer::Receive() {
  Bytes bytes;
  sockaddr_in from{};
  if (!socket_->peer.Receive(bytes, from, 5000, /*pump=*/false)) return {};
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
  return {text, std::to_string(ntohs(from.sin_port)), bytes};
}

}  // namespace kivostrel::contract
