// UdpSocketCore: everything the UDP socket component does that does not depend on the platform,
// written once. A back end (transport/posix, transport/win) derives from it and supplies only
// the system calls on one socket (open and bind, close, send, receive, name lookups) and a way
// to wake its event loop; its loop calls back the entry points under "What the back end's loop
// calls".
//
// Operations do their work at once (bind, close, send) but only queue their outcome; events are
// raised from the back end's loop alone, never from inside an operation. Outcomes come in the
// order of the calls that caused them:
//   OpenSocket   -> SocketReady, or SocketError (where "OpenSocket") when the bind fails
//   CloseSocket  -> SocketClosed (also when no socket was open)
//   SendDatagram -> DatagramSent, or SocketError (where "SendDatagram") then SocketReady
// A datagram the system cannot take yet stays pending and goes out when the socket is writable;
// closing or re-opening the socket reports each pending one as failed (the platform's
// "cancelled" number). A failed receive is reported as SocketError with where "Receive".
// At most kMaxDatagramsPerWakeUp datagrams are raised per wake-up; an outcome queued by a handler
// (the answer it just sent) is raised before any later datagram.
// Rebind loses no datagram: what waits on the old socket is read before it closes, and from then
// on nothing is raised until OpenSocket("0") has taken the new socket and its SocketReady is
// raised; then the old socket's datagrams come, then the new one's, each once and in order. A
// rebind to the endpoint the socket has keeps the socket (and its pending sends), so that a
// sender going on meanwhile is never refused; only its events are those of a new socket.
//
// Error codes in SocketError are the platform's numbers (errno and resolver codes on Linux, WSA
// numbers on Windows); descriptions name the host, port or size concerned in the same words on
// every platform.
//
// Not thread-safe: create, call and pump it on one thread. A handler may call any operation and
// may destroy the component; the core re-checks its state after every event it raises.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "transport/endpoint.h"
#include "transport/udp_socket.h"

namespace kivostrel {

// Automation errors of LocalAddressFor, numbered as the Windows Sockets errors of the same
// meaning so that hosts see one number on every platform. The source is the component's name
// and ":LocalAddressFor", the description names the host and the system's reason.
enum UdpSocketErrorNumber : std::int32_t {
  kErrNetworkUnreachable = 10051,  // no route from this machine to the host
  kErrHostNotFound = 11001,        // the host text is neither a dotted address nor a known name
};

// The configured local endpoint, which OpenSocket("0") binds and Rebind changes.
struct UdpSocketOptions {
  // "": every local address, IPv4 and IPv6 on one socket (IPv4 alone where the system has no
  // IPv6). "0.0.0.0" or "::": every address of that family only. Otherwise a dotted IPv4 address
  // or an IPv6 literal of this machine, or "localhost".
  std::string local_address;
  // 0 lets the system choose a free port.
  std::uint16_t local_port = 0;
};

class UdpSocketCore : public UdpSocket {
 public:
  // Datagrams raised per wake-up at most; the rest wait for the next one.
  static constexpr int kMaxDatagramsPerWakeUp = 32;
  // The largest IPv4 UDP payload: larger sends are reported as failed, and every datagram
  // received arrives whole.
  static constexpr std::size_t kMaxDatagramSize = 65507;
  // SendUnreported's datagrams (Reports, acknowledgements) waiting for the socket at most: each
  // one past it drops the oldest, as the system drops what its buffer cannot take. Whatever
  // senders provoke, the queue stays this long.
  static constexpr std::size_t kMaxPendingUnreported = 1024;
  std::size_t unreported_pending() const noexcept { return unreported_pending_; }
  std::size_t unreported_dropped() const noexcept { return unreported_dropped_; }

  // Queued outcomes are dropped; no event is raised.
  ~UdpSocketCore() override;
  UdpSocketCore(const UdpSocketCore&) = delete;
  UdpSocketCore& operator=(const UdpSocketCore&) = delete;

  // Closes any open socket (without SocketClosed) and binds a new one at the configured local
  // endpoint; after a Rebind, "0" takes the socket Rebind bound instead. `local_port` "0" or
  // empty uses the configured port; another decimal port from 1 to 65535 is used instead of it.
  void OpenSocket(std::string_view local_port) final;
  void CloseSocket() final;
  // Never throws for a network reason; the empty message is sent as an empty datagram.
  void SendDatagram(std::string_view remote_address, std::string_view remote_port,
                    std::span<const std::uint8_t> message) final;
  void SendUnreported(std::string_view remote_address, std::string_view remote_port,
                      std::span<const std::uint8_t> message) final;
  // Asks the system which local address a datagram to the host would leave from (no packet is
  // sent). May block while a host name is resolved. Throws AutomationError kErrHostNotFound or
  // kErrNetworkUnreachable.
  std::string LocalAddressFor(std::string_view remote_address) final;
  std::optional<Peer> PeerOf(std::string_view remote_address, std::string_view remote_port) final;

  std::uint16_t LocalPort() const noexcept final;
  std::optional<SocketFailure> Rebind(std::string_view local_address,
                                      std::uint16_t local_port) final;

  bool IsOpen() const noexcept { return open_; }
  const UdpSocketOptions& options() const noexcept { return options_; }

  // The platform's numbers for the failures the core finds itself, and the component's name.
  struct Platform {
    const char* component;               // the source prefix of automation errors
    std::int32_t invalid_argument;       // a bad local port or address, a port out of range
    std::int32_t not_open;               // a send while no socket is open
    std::int32_t cancelled;              // a datagram still pending when its socket closed
    std::int32_t message_too_long;       // a datagram over kMaxDatagramSize
    std::int32_t no_host_name;           // the empty host text
    std::int32_t no_address;             // a host name without an address
    std::int32_t unknown_service;        // a port text that is neither a number nor a service
    std::int32_t address_not_available;  // a local address that is not this machine's
    std::int32_t address_in_use;         // a local port another socket holds
  };

  // A remote port text: "1" to "65535", or the name of a UDP service known to the system (e.g.
  // "snmp"). Port 0 and anything else are refused.
  std::optional<SocketFailure> ResolvePort(std::string_view text, std::uint16_t& port);
  // A remote host text: an address literal, read without the resolver, or a host name looked up
  // by the system (its first IPv4 address, else its first IPv6 one), which may block. The empty
  // text is refused without a lookup. Sets the address of `endpoint`, not its port.
  std::optional<SocketFailure> ResolveHost(std::string_view text, Endpoint& endpoint);

 protected:
  // `events` must outlive the component. No socket is opened yet.
  UdpSocketCore(UdpSocketEvents& events, UdpSocketOptions options, const Platform& platform);

  // --- What the back end supplies ---

  enum class OpenStep { kCreate, kBind, kWatch };
  struct OpenFailure {
    OpenStep step;
    std::int32_t code;
  };
  // Creates a non-blocking UDP socket bound to `local` and watched by the loop; an IPv6 one takes
  // IPv4 as well when `dual_stack`. On success it replaces the socket open until now, which
  // closes; on failure that one stays as it was.
  virtual std::optional<OpenFailure> OpenNative(const Endpoint& local, bool dual_stack) = 0;
  virtual void CloseNative() noexcept = 0;
  virtual std::uint16_t NativeLocalPort() const noexcept = 0;

  enum class Io { kDone, kWouldBlock, kFailed, kNothing };
  // kDone, kWouldBlock (try again when writable) or kFailed with `error`.
  virtual Io SendNative(const Endpoint& to, std::span<const std::uint8_t> bytes,
                        std::int32_t& error) noexcept = 0;
  // kDone with the datagram's `size` and `sender`; kWouldBlock when none waits; kFailed with
  // `error`; kNothing for a report the platform passes on that is no datagram (an ICMP
  // message about an earlier send).
  virtual Io ReceiveNative(std::span<std::uint8_t> buffer, std::size_t& size, Endpoint& sender,
                           std::int32_t& error) noexcept = 0;
  // As ReceiveNative, but whatever a wake-up's budget: kWouldBlock only when nothing is left,
  // neither in the socket nor read from it already. Empties the socket before it is replaced.
  virtual Io ReceiveWaiting(std::span<std::uint8_t> buffer, std::size_t& size, Endpoint& sender,
                            std::int32_t& error) noexcept = 0;

  // The system's lookup of a host name (never an address literal): its first IPv4 address, else
  // its first IPv6 one, or the platform's number and the reason in words.
  struct LookupFailure {
    std::int32_t code;
    std::string reason;
  };
  virtual std::optional<LookupFailure> LookUpHost(const std::string& name, Endpoint& address) = 0;
  // Whether `address` is one of this machine's own (the system may bind others silently).
  virtual bool IsMachineAddress(const Endpoint& address) = 0;
  virtual std::optional<std::uint16_t> LookUpService(const std::string& name) = 0;
  // The local address a socket connected to `remote` has; 0 or the platform's error number.
  virtual std::int32_t LocalAddressTowards(const Endpoint& remote, Endpoint& local) = 0;

  // A readable text for one of the platform's error numbers.
  virtual std::string ErrorText(std::int32_t code) const = 0;

  // Makes the loop call RaiseOutcomes soon. False when it could not; the next outcome retries.
  virtual bool Wake() noexcept = 0;
  // The loop is about to raise the outcomes a Wake asked for: a level-triggered wake-up may be
  // reset here.
  virtual void Woken() noexcept {}
  // Writability reports are wanted (datagrams are pending) or not any more.
  virtual void WatchWritable(bool /*wanted*/) noexcept {}
  // Datagrams may wait that no coming wake-up will announce (a wake-up's budget is spent, or
  // reading was held back until a new socket was announced): make the loop call
  // ReceiveDatagrams again later, unless the socket stays readable by itself.
  virtual void ReceiveLater() noexcept {}

  // --- What the back end's loop calls ---

  // Raises the outcomes queued now; those that handlers queue meanwhile wait for the next call.
  // Returns the events raised; stops at once when a handler destroys the component.
  int RaiseOutcomes();
  // Sends what waits for the socket to be writable.
  void SendPending();
  // Raises the datagrams waiting, kMaxDatagramsPerWakeUp at most, and before each one the
  // outcomes handlers queued. Returns the events raised; stops at once when a handler destroys
  // the component, closes or replaces the socket.
  int ReceiveDatagrams();
  // The loop learned of a failed receive, or that the system closed the socket.
  void ReportReceiveFailure(std::int32_t code);
  void ReportClosedBySystem();

  const Platform& platform() const noexcept { return platform_; }
  // Changes whenever the socket is closed or replaced.
  std::uint64_t generation() const noexcept { return generation_; }
  // False once the component is destroyed: a loop holds a copy across the events it raises.
  std::shared_ptr<const bool> AliveToken() const noexcept { return alive_; }

 private:
  struct Failure {
    std::int32_t code;
    std::string description;
    std::string where;
  };
  struct Ready {
    bool announces_rebind = false;  // OpenSocket("0") took the socket Rebind bound
  };
  struct Sent {};
  struct Closed {};
  // A datagram read from a socket before Rebind replaced it.
  struct Received {
    Endpoint sender;
    std::vector<std::uint8_t> bytes;
  };
  using Outcome = std::variant<Failure, Ready, Sent, Closed, Received>;

  struct PendingDatagram {
    Endpoint destination;
    std::vector<std::uint8_t> bytes;
    std::string target;  // the host's texts, for messages
    bool reported;       // false: SendUnreported's, whose outcome is raised as nothing
  };

  void Send(std::string_view remote_address, std::string_view remote_port,
            std::span<const std::uint8_t> message, bool reported);

  // The local endpoint a text and port name, ready to bind; the dual-stack flag for "".
  std::optional<SocketFailure> ResolveLocal(std::string_view text, std::uint16_t port,
                                            Endpoint& local, bool& dual_stack);
  // Binds a new socket at the endpoint; on success it replaces the open one.
  std::optional<SocketFailure> Bind(std::string_view text, std::uint16_t port);
  void CancelPending();
  void DropOldestUnreported();
  void Queue(Outcome outcome);
  void QueueSendFailure(std::int32_t code, std::string description);
  void Raise(const Outcome& outcome);
  // Closes the socket and reports pending datagrams as failed; raises nothing itself.
  void DropSocket();
  // Reads what waits on the open socket into held_, before the socket is replaced.
  void HoldWaitingDatagrams();
  // Ends holding back: the held datagrams are queued, and reading goes on.
  void ReleaseHeld();
  std::string CannotSendText(std::size_t size, std::string_view target, std::int32_t code) const;

  UdpSocketEvents& events_;
  UdpSocketOptions options_;
  const Platform platform_;
  bool open_ = false;
  // Sockets Rebind bound that no OpenSocket("0") has announced yet.
  int unannounced_ = 0;
  // From a Rebind until the SocketReady that announces its socket is raised, no datagram is:
  // those of the sockets replaced wait in held_, those of the new one in the system.
  bool holding_ = false;
  std::deque<Received> held_;
  // Held datagrams queued as outcomes and not raised yet: reading waits for them.
  std::size_t released_ = 0;
  std::uint64_t generation_ = 0;
  bool wake_requested_ = false;
  std::deque<Outcome> outcomes_;
  std::deque<PendingDatagram> pending_;
  std::size_t unreported_pending_ = 0;
  std::size_t unreported_dropped_ = 0;
  // Shared with a running receive so that a datagram's bytes outlive a handler destroying us.
  std::shared_ptr<std::vector<std::uint8_t>> receive_buffer_;
  std::shared_ptr<bool> alive_;
};

}  // namespace kivostrel
