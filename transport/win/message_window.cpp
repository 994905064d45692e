#include "transport/win/message_window.h"

#include <system_error>

namespace kivostrel {
namespace {

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* target = reinterpret_cast<MessageTarget*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (target != nullptr) {
    try {
      if (target->OnMessage(message, wparam, lparam)) return 0;
    } catch (...) {
      // A failing handler loses its event.
      return 0;
    }
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

// Registered once per module, under the module that holds this code (the .ocx when loaded as
// one), and unregistered when that module goes away so that a reloaded module can register it
// again with its new window procedure.
class MessageWindowClass {
 public:
  MessageWindowClass() noexcept {
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&WindowProcedure), &module_);
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = &WindowProcedure;
    description.hInstance = module_;
    description.lpszClassName = kName;
    atom_ = ::RegisterClassExW(&description);
    if (atom_ == 0 && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
      // Left behind by an earlier load of this module at the same address.
      ::UnregisterClassW(kName, module_);
      atom_ = ::RegisterClassExW(&description);
    }
  }
  ~MessageWindowClass() {
    if (atom_ != 0) ::UnregisterClassW(kName, module_);
  }
  MessageWindowClass(const MessageWindowClass&) = delete;
  MessageWindowClass& operator=(const MessageWindowClass&) = delete;

  static constexpr const wchar_t* kName = L"kivOstrel.WinsockUdpSocket";

  ATOM atom() const noexcept { return atom_; }
  HINSTANCE module() const noexcept { return module_; }

 private:
  HMODULE module_ = nullptr;
  ATOM atom_ = 0;
};

[[noreturn]] void ThrowLastError(const char* what) {
  throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

}  // namespace

UniqueHwnd CreateMessageWindow(MessageTarget& target) {
  static const MessageWindowClass window_class;
  if (window_class.atom() == 0) ThrowLastError("RegisterClassExW");
  UniqueHwnd window(::CreateWindowExW(0, MessageWindowClass::kName, L"", 0, 0, 0, 0, 0,
                                      HWND_MESSAGE, nullptr, window_class.module(), nullptr));
  if (!window) ThrowLastError("CreateWindowExW");
  ::SetWindowLongPtrW(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&target));
  return window;
}

void DetachMessageWindow(HWND window) noexcept {
  ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
}

}  // namespace kivostrel
