// Owners of the Winsock and window handles the socket component holds.
#pragma once

#include <winsock2.h>
// After winsock2.h, so that it does not bring in the old winsock.h.
#include <windows.h>

#include <utility>

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

class UniqueSocket {
 public:
  UniqueSocket() noexcept = default;
  explicit UniqueSocket(SOCKET socket) noexcept : socket_(socket) {}
  ~UniqueSocket() { reset(); }
  UniqueSocket(UniqueSocket&& other) noexcept : socket_(other.release()) {}
  UniqueSocket& operator=(UniqueSocket&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  SOCKET get() const noexcept { return socket_; }
  SOCKET release() noexcept { return std::exchange(socket_, INVALID_SOCKET); }
  void reset(SOCKET socket = INVALID_SOCKET) noexcept {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    socket_ = socket;
  }
  explicit operator bool() const noexcept { return socket_ != INVALID_SOCKET; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
};

class UniqueWindow {
 public:
  UniqueWindow() noexcept = default;
  explicit UniqueWindow(HWND window) noexcept : window_(window) {}
  ~UniqueWindow() { reset(); }
  UniqueWindow(UniqueWindow&& other) noexcept : window_(std::exchange(other.window_, nullptr)) {}
  UniqueWindow& operator=(UniqueWindow&& other) noexcept {
    if (this != &other) reset(std::exchange(other.window_, nullptr));
    return *this;
  }
  HWND get() const noexcept { return window_; }
  void reset(HWND window = nullptr) noexcept {
    if (window_ != nullptr) ::DestroyWindow(window_);
    window_ = window;
  }
  explicit operator bool() const noexcept { return window_ != nullptr; }

 private:
  HWND window_ = nullptr;
};

}  // namespace kivostrel
