#include "control/com/ansi_code_page.h"

#include <windows.h>

#include <limits>
#include <new>

namespace kivostrel::com {
namespace {

std::wstring Widen(UINT code_page, const std::string& text) {
  if (text.empty()) return {};
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw std::bad_alloc();
  }
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(code_page, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), length, wide.data(), size);
  return wide;
}

std::string Narrow(UINT code_page, const std::wstring& wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int size =
      WideCharToMultiByte(code_page, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), length, text.data(), size, nullptr, nullptr);
  return text;
}

}  // namespace

std::string AnsiCodePage::ToAnsi(const std::string& utf8) const {
  return Narrow(CP_ACP, Widen(CP_UTF8, utf8));
}

std::string AnsiCodePage::FromAnsi(const std::string& ansi) const {
  return Narrow(CP_UTF8, Widen(CP_ACP, ansi));
}

}  // namespace kivostrel::com
