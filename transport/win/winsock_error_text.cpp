#include "transport/win/winsock_error_text.h"

#include <winsock2.h>
// After winsock2.h, so that it does not bring in the old winsock.h.
#include <windows.h>

#include <memory>

namespace kivostrel {
namespace {

struct LocalFree {
  void operator()(char* text) const noexcept { ::LocalFree(text); }
};
using UniqueLocalText = std::unique_ptr<char, LocalFree>;

// Wine has no message texts for most Winsock numbers, so the common ones are spelled here.
struct KnownError {
  int code;
  const char* text;
};
constexpr KnownError kKnownErrors[] = {
    {WSAEINTR, "interrupted"},
    {WSAEBADF, "bad handle"},
    {WSAEACCES, "permission denied"},
    {WSAEFAULT, "bad address"},
    {WSAEINVAL, "invalid argument"},
    {WSAEMFILE, "too many open sockets"},
    {WSAEWOULDBLOCK, "the operation would block"},
    {WSAENOTSOCK, "not a socket"},
    {WSAEDESTADDRREQ, "destination address required"},
    {WSAEMSGSIZE, "message too long"},
    {WSAEAFNOSUPPORT, "address family not supported"},
    {WSAEADDRINUSE, "address already in use"},
    {WSAEADDRNOTAVAIL, "address not available"},
    {WSAENETDOWN, "network is down"},
    {WSAENETUNREACH, "network is unreachable"},
    {WSAENETRESET, "network dropped the connection"},
    {WSAECONNRESET, "port unreachable"},
    {WSAENOBUFS, "no buffer space available"},
    {WSAEHOSTUNREACH, "host is unreachable"},
    {WSASYSNOTREADY, "network subsystem not ready"},
    {WSAVERNOTSUPPORTED, "Winsock version not supported"},
    {WSANOTINITIALISED, "Winsock not initialised"},
    {WSAECANCELLED, "cancelled"},
    {WSATYPE_NOT_FOUND, "unknown service"},
    {WSAHOST_NOT_FOUND, "host not found"},
    {WSATRY_AGAIN, "temporary failure in name resolution"},
    {WSANO_RECOVERY, "name resolution failed"},
    {WSANO_DATA, "no address for the name"},
};

}  // namespace

std::string WinsockErrorText(int error) {
  for (const KnownError& known : kKnownErrors) {
    if (known.code == error) return known.text;
  }
  char* buffer = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  const UniqueLocalText owned(buffer);
  std::string text = length > 0 ? std::string(buffer, length) : std::string();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
    text.pop_back();
  }
  return text.empty() ? "Windows Sockets error " + std::to_string(error) : text;
}

}  // namespace kivostrel
