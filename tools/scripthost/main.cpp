// ostrelhost: runs a VBScript or JScript file with a WScript object whose Sleep pumps messages
// and whose ConnectObject delivers events.
//
//   ostrelhost.exe script.vbs|script.js [arguments...]
//
// The extension names the language, in any case: .vbs VBScript, .js JScript; any other is
// refused, as the Windows Script Host refuses a file it has no engine for.
//
// Exit code: what the script gave to WScript.Quit (0 when it ends normally), 1 when it stops on
// an error (printed to standard error with its line, number, source and description), 2 when
// the host cannot run it (usage, an unknown extension, an unreadable file, no engine).
#include <windows.h>

#include <ole2.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tools/scripthost/script_host.h"
#include "tools/scripthost/script_language.h"
#include "win/com_handles.h"
#include "win/utf16.h"
#include "win/win32_handles.h"

namespace {

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  const kivostrel::UniqueHandle file =
      kivostrel::FileHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > (1 << 26)) return false;
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  return bytes.empty() ||
         (::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
          read == bytes.size());
}

// UTF-16 with its byte order mark, UTF-8 (with or without one), else the ANSI code page.
std::wstring ScriptText(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    std::memcpy(text.data(), bytes.data() + 2, text.size() * 2);
    return text;
  }
  std::string_view body(bytes);
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  if (auto text = kivostrel::WidenValid(body, CP_UTF8)) return std::move(*text);
  return kivostrel::Widen(body, CP_ACP);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using ostrelhost::kExitHostError;
  using ostrelhost::WriteText;
  if (argc < 2) {
    WriteText(L"usage: ostrelhost script.vbs|script.js [arguments...]\n", true);
    return kExitHostError;
  }
  const std::wstring path = argv[1];
  const ostrelhost::ScriptLanguage* language = ostrelhost::LanguageOfScript(path);
  if (language == nullptr) {
    WriteText(L"ostrelhost: no script engine for " + path + L": name a VBScript file .vbs and a " +
                  L"JScript file .js\n",
              true);
    return kExitHostError;
  }
  std::vector<std::wstring> arguments(argv + 2, argv + argc);
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    WriteText(L"ostrelhost: cannot read " + path + L"\n", true);
    return kExitHostError;
  }
  const kivostrel::com::OleSession ole;
  if (FAILED(ole.status())) {
    WriteText(L"ostrelhost: OLE did not start\n", true);
    return kExitHostError;
  }
  ostrelhost::ScriptHost host(path, std::move(arguments), *language);
  return host.Run(ScriptText(bytes));
}
