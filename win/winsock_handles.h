// Owners of the Winsock handles the socket component holds.
#pragma once

#include <winsock2.h>
// After winsock2.h, so that windows.h does not bring in the old winsock.h.
#include "win/win32_handles.h"

namespace kivostrel {

// One WSAStartup, undone by one WSACleanup: Winsock counts them, so every owner keeps the
// library loaded for as long as it lives.
class WinsockSession {
 public:
  WinsockSession() noexcept {
    WSADATA data{};
    error_ = ::WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~WinsockSession() {
    if (error_ == 0) ::WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  // 0, or the WSA error number that WSAStartup returned.
  int error() const noexcept { return error_; }

 private:
  int error_ = 0;
};

using UniqueSocket = UniqueAny<SOCKET, ::closesocket, INVALID_SOCKET>;

}  // namespace kivostrel
