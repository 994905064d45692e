// Text between UTF-16, the form Windows and automation use, and the byte strings of a code page:
// CP_UTF8 for the engine's texts, CP_ACP for the system's ANSI texts and command lines.
//
// Empty text converts to empty text. A sequence that is invalid in the source is converted as the
// system converts it without MB_ERR_INVALID_CHARS (to U+FFFD or the code page's default
// character); a conversion the system refuses gives empty text. Text longer than an int can count
// throws std::bad_alloc.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace kivostrel {

std::wstring Widen(std::string_view text, UINT code_page);
std::string Narrow(std::wstring_view text, UINT code_page);

// Like Widen, but nullopt when `text` holds a sequence that is invalid in `code_page`.
std::optional<std::wstring> WidenValid(std::string_view text, UINT code_page);

}  // namespace kivostrel
