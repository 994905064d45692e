#include "win/utf16.h"

#include <limits>
#include <new>

namespace kivostrel {
namespace {

// Both directions: `api(from, length, to, size)` is MultiByteToWideChar or WideCharToMultiByte
// with its other arguments bound. The result is sized by what the system reports for this very
// text, never by a count of our own; empty when the system refuses the text.
template <typename Result, typename Char, typename Api>
Result Convert(std::basic_string_view<Char> text, Api api) {
  if (text.empty()) return {};
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw std::bad_alloc();
  }
  const int length = static_cast<int>(text.size());
  const int size = api(text.data(), length, nullptr, 0);
  if (size <= 0) return {};
  Result result(static_cast<std::size_t>(size), typename Result::value_type{});
  const int written = api(text.data(), length, result.data(), size);
  result.resize(static_cast<std::size_t>(written > 0 ? written : 0));
  return result;
}

std::wstring ToUtf16(std::string_view text, UINT code_page, DWORD flags) {
  return Convert<std::wstring>(text, [&](const char* from, int length, wchar_t* to, int size) {
    return MultiByteToWideChar(code_page, flags, from, length, to, size);
  });
}

}  // namespace

std::wstring Widen(std::string_view text, UINT code_page) {
  return ToUtf16(text, code_page, 0);
}

std::optional<std::wstring> WidenValid(std::string_view text, UINT code_page) {
  std::wstring wide = ToUtf16(text, code_page, MB_ERR_INVALID_CHARS);
  if (wide.empty() && !text.empty()) return std::nullopt;
  return wide;
}

std::string Narrow(std::wstring_view text, UINT code_page) {
  return Convert<std::string>(text, [&](const wchar_t* from, int length, char* to, int size) {
    return WideCharToMultiByte(code_page, 0, from, length, to, size, nullptr, nullptr);
  });
}

}  // namespace kivostrel
