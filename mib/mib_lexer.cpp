#include "mib/mib_lexer.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>

namespace kivostrel::mib {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsWordChar(char c) {
  return IsLetter(c) || IsDigit(c) || c == '-' || c == '_';
}

Tok PunctuationOf(char c) {
  switch (c) {
    case '{':
      return Tok::kLBrace;
    case '}':
      return Tok::kRBrace;
    case '(':
      return Tok::kLParen;
    case ')':
      return Tok::kRParen;
    case '[':
      return Tok::kLBracket;
    case ']':
      return Tok::kRBracket;
    case ',':
      return Tok::kComma;
    case ';':
      return Tok::kSemicolon;
    case '|':
      return Tok::kBar;
    case '.':
    case ':':
    case '<':
    case '>':
    case '@':
    case '=':
    case '!':
    case '*':
    case '&':
    case '^':
    case '+':
    case '/':
    case '\\':
    case '~':
    case '#':
    case '$':
    case '%':
    case '?':
    case '`':
      return Tok::kOther;
    default:
      return Tok::kEnd;
  }
}

}  // namespace

void Problems::Add(int line, std::string message) {
  ++count_;
  if (count_ > kMaxPerFile) return;
  if (count_ == kMaxPerFile) message = "too many problems; the rest of this file's are not shown";
  out_.push_back(Diagnostic{file_, line, std::move(message)});
}

std::vector<Token> Lex(std::string_view text, Problems& problems) {
  std::vector<Token> tokens;
  tokens.reserve(text.size() / 16 + 16);
  const std::size_t n = text.size();
  std::size_t i = 0;
  int line = 1;
  while (i < n) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      ++i;
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++i;
      continue;
    }
    const std::size_t start = i;
    if (c == '-' && i + 1 < n && text[i + 1] == '-') {
      // A comment ends at the line's end or at the next "--" on the same line.
      std::size_t end = text.find('\n', i + 2);
      if (end == std::string_view::npos) end = n;
      const std::size_t close = text.substr(0, end).find("--", i + 2);
      i = close == std::string_view::npos ? end : close + 2;
      continue;
    }
    if (IsLetter(c) || c == '_') {
      // A word never holds "--" (a comment starts there) nor ends with '-'.
      ++i;
      while (i < n && IsWordChar(text[i])) {
        if (text[i] == '-' && (i + 1 >= n || text[i + 1] == '-' || !IsWordChar(text[i + 1]))) break;
        ++i;
      }
      tokens.push_back({Tok::kWord, line, text.substr(start, i - start)});
      continue;
    }
    if (IsDigit(c) || (c == '-' && i + 1 < n && IsDigit(text[i + 1]))) {
      ++i;
      while (i < n && IsDigit(text[i])) ++i;
      tokens.push_back({Tok::kNumber, line, text.substr(start, i - start)});
      continue;
    }
    if (c == '"') {
      const int first_line = line;
      ++i;
      std::size_t end = std::string_view::npos;
      while (i < n) {
        const std::size_t quote = text.find('"', i);
        const std::size_t stop = quote == std::string_view::npos ? n : quote;
        line +=
            static_cast<int>(std::count(text.begin() + static_cast<std::ptrdiff_t>(i),
                                        text.begin() + static_cast<std::ptrdiff_t>(stop), '\n'));
        if (quote == std::string_view::npos) break;
        if (quote + 1 < n && text[quote + 1] == '"') {  // "" stands for one quote
          i = quote + 2;
          continue;
        }
        end = quote;
        break;
      }
      if (end == std::string_view::npos) {
        problems.Add(first_line, "a string that never ends");
        tokens.push_back({Tok::kString, first_line, text.substr(start + 1)});
        i = n;
        break;
      }
      tokens.push_back({Tok::kString, first_line, text.substr(start + 1, end - start - 1)});
      i = end + 1;
      continue;
    }
    if (c == '\'') {
      const std::size_t close = text.find('\'', i + 1);
      const std::size_t newline = text.find('\n', i + 1);
      if (close == std::string_view::npos || close > newline || close + 1 >= n ||
          (text[close + 1] != 'H' && text[close + 1] != 'h' && text[close + 1] != 'B' &&
           text[close + 1] != 'b')) {
        problems.Add(line, "a quoted number without its closing 'H or 'B");
        ++i;
        continue;
      }
      const bool hex = text[close + 1] == 'H' || text[close + 1] == 'h';
      tokens.push_back({hex ? Tok::kHex : Tok::kBinary, line, text.substr(i + 1, close - i - 1)});
      i = close + 2;
      continue;
    }
    if (c == ':' && text.substr(i, 3) == "::=") {
      tokens.push_back({Tok::kAssign, line, text.substr(i, 3)});
      i += 3;
      continue;
    }
    if (c == '.' && i + 1 < n && text[i + 1] == '.') {
      i += 2;
      if (i < n && text[i] == '.') ++i;  // "..." in macro bodies
      tokens.push_back({Tok::kRange, line, text.substr(start, i - start)});
      continue;
    }
    const Tok punctuation = PunctuationOf(c);
    ++i;
    if (punctuation == Tok::kEnd) {
      problems.Add(line, "a character that has no place in a module (byte " +
                             std::to_string(static_cast<unsigned char>(c)) + ")");
      continue;
    }
    tokens.push_back({punctuation, line, text.substr(start, 1)});
  }
  tokens.push_back({Tok::kEnd, line, {}});
  return tokens;
}

bool NumberOf(const Token& token, std::int64_t& value) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::string_view digits = token.text;
  int base = 10;
  if (token.kind == Tok::kHex) base = 16;
  if (token.kind == Tok::kBinary) base = 2;
  bool negative = false;
  if (base == 10 && !digits.empty() && digits.front() == '-') {
    negative = true;
    digits.remove_prefix(1);
  }
  if (digits.empty()) return false;
  std::int64_t result = 0;
  for (const char c : digits) {
    int digit = -1;
    if (IsDigit(c)) digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0 || digit >= base) return false;
    result = result > (kMax - digit) / base ? kMax : result * base + digit;
  }
  value = negative ? (result == kMax ? std::numeric_limits<std::int64_t>::min() : -result) : result;
  return true;
}

}  // namespace kivostrel::mib
