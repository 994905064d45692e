// A message-only window that hands its messages to one C++ object, on the thread that created
// it: how the Winsock component's events reach the host's message loop.
#pragma once

#include <windows.h>

#include "win/win32_handles.h"

namespace kivostrel {

class MessageTarget {
 public:
  // False for messages that are not the target's own. An exception is swallowed: nothing may
  // unwind through the system's dispatcher.
  virtual bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam) = 0;

 protected:
  ~MessageTarget() = default;
};

// Throws std::system_error when the window class cannot be registered or the window created.
UniqueHwnd CreateMessageWindow(MessageTarget& target);

// Messages still queued for the window, or sent while it is destroyed, find no target.
void DetachMessageWindow(HWND window) noexcept;

}  // namespace kivostrel
