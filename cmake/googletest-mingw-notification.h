// GoogleTest's Notification for mingw-w64's win32 thread model, which has no std::mutex or
// std::condition_variable: the same one-shot signal on a Win32 manual-reset event. Force-included
// before GoogleTest's headers by cmake/googletest-mingw.cmake.
#pragma once

// Being first in every test file, this must bring in Winsock 2 before <windows.h> does.
#include <winsock2.h>

#include <windows.h>

namespace testing::internal {

class Notification {
 public:
  Notification() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() {
    if (event_ != nullptr) ::CloseHandle(event_);
  }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { ::SetEvent(event_); }
  void WaitForNotification() { ::WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace testing::internal

#define GTEST_HAS_NOTIFICATION_ 1
