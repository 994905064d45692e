#include "win/message_pump.h"

namespace kivostrel {

bool DispatchMessagesUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  constexpr ULONGLONG kPollMs = 20;
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    MSG message{};
    while (!done() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    const ULONGLONG wait = deadline - now < kPollMs ? deadline - now : kPollMs;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(wait), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}

}  // namespace kivostrel
