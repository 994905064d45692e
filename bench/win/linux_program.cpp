#include "linux_program.h"

#include <windows.h>

#include <cstdio>

#include "win/utf16.h"
#include "win/win32_handles.h"

namespace kivostrel::winbench {

bool StartLinuxProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  // Wine maps Z: to the Linux root; the arguments reach the program as written.
  std::wstring image = L"Z:" + kivostrel::Widen(argv[0], CP_UTF8);
  for (wchar_t& c : image) {
    if (c == L'/') c = L'\\';
  }
  std::wstring command_line;
  for (const std::string& arg : argv) {
    if (!command_line.empty()) command_line += L' ';
    command_line += L'"' + kivostrel::Widen(arg, CP_UTF8) + L'"';
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(image.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started)) {
    std::fprintf(stderr, "cannot start %s: error %lu\n", argv[0].c_str(), ::GetLastError());
    return false;
  }
  const UniqueHandle process(started.hProcess);
  const UniqueHandle thread(started.hThread);
  return true;
}

}  // namespace kivostrel::winbench
