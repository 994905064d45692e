#include "control/com/ansi_code_page.h"

#include <windows.h>

#include "win/utf16.h"

namespace kivostrel::com {

std::string AnsiCodePage::ToAnsi(const std::string& utf8) const {
  return Narrow(Widen(utf8, CP_UTF8), CP_ACP);
}

std::string AnsiCodePage::FromAnsi(const std::string& ansi) const {
  return Narrow(Widen(ansi, CP_ACP), CP_UTF8);
}

}  // namespace kivostrel::com
