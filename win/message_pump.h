// Waiting on a thread that owns windows: the socket component and the control deliver their
// events as window messages, so whoever waits for them must keep dispatching.
#pragma once

#include <windows.h>

#include <functional>

namespace kivostrel {

// Dispatches this thread's messages until `done` holds or `timeout_ms` have passed, and returns
// `done()`. `done` is asked before every message, so nothing more is dispatched once it holds, and
// at least every few milliseconds, so it may also watch something that posts no message.
bool DispatchMessagesUntil(const std::function<bool()>& done, DWORD timeout_ms);

}  // namespace kivostrel
