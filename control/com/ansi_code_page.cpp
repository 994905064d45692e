#include "control/com/ansi_code_page.h"

#include <windows.h>

#include "win/utf16.h"

namespace kivostrel::com {

// Passwords pass through here on their way to the ANSI octets their keys are made from, so the
// UTF-16 form in between is wiped before it is freed.
std::string AnsiCodePage::ToAnsi(std::string_view utf8) const {
  std::wstring wide = Widen(utf8, CP_UTF8);
  std::string ansi = Narrow(wide, CP_ACP);
  ::SecureZeroMemory(wide.data(), wide.size() * sizeof(wchar_t));
  return ansi;
}

std::string AnsiCodePage::FromAnsi(const std::string& ansi) const {
  return Narrow(Widen(ansi, CP_ACP), CP_UTF8);
}

}  // namespace kivostrel::com
