// The tokens of a MIB module's text: words, numbers (decimal, 'FF'H, '0101'B), strings and the
// punctuation SMI uses. Comments run from "--" to the end of the line or to the next "--".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mib/mib_library.h"

namespace kivostrel::mib {

enum class Tok : std::uint8_t {
  kEnd,
  kWord,    // a label, type name or keyword: letters, digits, '-' and '_'
  kNumber,  // decimal, with its sign: "-5"
  kHex,     // the digits of 'FF'H
  kBinary,  // the digits of '0101'B
  kString,  // the text between the quotes
  kAssign,  // ::=
  kRange,   // ..
  kLBrace,
  kRBrace,
  kLParen,
  kRParen,
  kLBracket,
  kRBracket,
  kComma,
  kSemicolon,
  kBar,
  kOther,  // any other punctuation SMI's macros use (. : < > @ ...)
};

struct Token {
  Tok kind = Tok::kEnd;
  int line = 0;
  std::string_view text;  // a view into the module text
};

// Collects the problems of one file, at most kMaxPerFile of them (garbage would give one per
// byte otherwise).
class Problems {
 public:
  static constexpr int kMaxPerFile = 100;
  Problems(std::vector<Diagnostic>& out, std::string file) : out_(out), file_(std::move(file)) {}
  void Add(int line, std::string message);
  const std::string& file() const { return file_; }

 private:
  std::vector<Diagnostic>& out_;
  std::string file_;
  int count_ = 0;
};

// Every token of `text`, ending with one kEnd. The views point into `text`.
std::vector<Token> Lex(std::string_view text, Problems& problems);

// The number a kNumber, kHex or kBinary token holds, clamped to int64; false when it has no
// digits.
bool NumberOf(const Token& token, std::int64_t& value);

}  // namespace kivostrel::mib
