#include "mib/mib_parser.h"

#include <cstdint>
#include <limits>
#include <string>
#include <utility>

namespace kivostrel::mib {
namespace {

// Deeper nesting than this in braces or parentheses is no module's; it is diagnosed once.
constexpr int kMaxNesting = 64;

bool IsOpener(Tok t) {
  return t == Tok::kLBrace || t == Tok::kLParen || t == Tok::kLBracket;
}
bool IsCloser(Tok t) {
  return t == Tok::kRBrace || t == Tok::kRParen || t == Tok::kRBracket;
}

NodeKind MacroKind(std::string_view word, bool& known, bool& trap) {
  known = true;
  trap = false;
  if (word == "OBJECT-TYPE") return NodeKind::kObjectType;
  if (word == "MODULE-IDENTITY") return NodeKind::kModuleIdentity;
  if (word == "OBJECT-IDENTITY") return NodeKind::kObjectIdentity;
  if (word == "NOTIFICATION-TYPE") return NodeKind::kNotification;
  if (word == "TRAP-TYPE") {
    trap = true;
    return NodeKind::kNotification;
  }
  if (word == "OBJECT-GROUP" || word == "NOTIFICATION-GROUP") return NodeKind::kGroup;
  if (word == "MODULE-COMPLIANCE") return NodeKind::kCompliance;
  if (word == "AGENT-CAPABILITIES") return NodeKind::kCapabilities;
  known = false;
  return NodeKind::kObjectIdentifier;
}

class Parser {
 public:
  Parser(std::vector<Token> tokens, Problems& problems)
      : tokens_(std::move(tokens)), problems_(problems) {}

  std::vector<ModuleSyntax> Modules() {
    std::vector<ModuleSyntax> modules;
    while (Peek().kind != Tok::kEnd) {
      ModuleSyntax module;
      if (!Header(module)) break;
      Body(module);
      modules.push_back(std::move(module));
    }
    if (modules.empty())
      problems_.Add(Peek().line, "no module here (no NAME DEFINITIONS ::= BEGIN)");
    return modules;
  }

 private:
  const Token& Peek(std::size_t ahead = 0) const {
    const std::size_t at = pos_ + ahead;
    return at < tokens_.size() ? tokens_[at] : tokens_.back();
  }
  const Token& Next() {
    const Token& t = Peek();
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return t;
  }
  bool IsWord(std::string_view word, std::size_t ahead = 0) const {
    return Peek(ahead).kind == Tok::kWord && Peek(ahead).text == word;
  }
  bool Accept(Tok kind) {
    if (Peek().kind != kind) return false;
    Next();
    return true;
  }
  bool AcceptWord(std::string_view word) {
    if (!IsWord(word)) return false;
    Next();
    return true;
  }
  bool AtEnd() const { return Peek().kind == Tok::kEnd; }

  // At an opener: moves past its closer. Counts instead of recursing.
  void SkipBalanced() {
    const int line = Peek().line;
    int depth = 0;
    bool too_deep = false;
    do {
      const Tok t = Next().kind;
      if (IsOpener(t)) {
        if (++depth > kMaxNesting && !too_deep) {
          too_deep = true;
          problems_.Add(line, "nesting deeper than " + std::to_string(kMaxNesting));
        }
      } else if (IsCloser(t)) {
        --depth;
      } else if (t == Tok::kEnd) {
        problems_.Add(line, "a '{' or '(' that is never closed");
        return;
      }
    } while (depth > 0);
  }

  // Skips one clause value: a balanced group or a single token.
  void SkipValue() {
    if (IsOpener(Peek().kind)) {
      SkipBalanced();
    } else if (!AtEnd()) {
      Next();
    }
  }

  bool Header(ModuleSyntax& module) {
    // NAME [{ oid }] DEFINITIONS [tagging] ::= BEGIN; anything before it is not a module.
    std::size_t name_at = SIZE_MAX;
    while (!AtEnd()) {
      if (IsWord("DEFINITIONS") && name_at != SIZE_MAX) break;
      if (Peek().kind == Tok::kWord) name_at = pos_;
      if (Peek().kind == Tok::kLBrace && name_at != SIZE_MAX) {
        SkipBalanced();
        continue;
      }
      Next();
    }
    if (AtEnd()) return false;
    module.name = std::string(tokens_[name_at].text);
    module.line = tokens_[name_at].line;
    module.file = problems_.file();
    Next();  // DEFINITIONS
    while (!AtEnd() && Peek().kind != Tok::kAssign && !IsWord("BEGIN")) Next();
    Accept(Tok::kAssign);
    if (!AcceptWord("BEGIN")) {
      problems_.Add(module.line, "module " + module.name + " has no BEGIN");
      return false;
    }
    return true;
  }

  void Body(ModuleSyntax& module) {
    while (true) {
      const Token& t = Peek();
      if (t.kind == Tok::kEnd) {
        problems_.Add(t.line, "module " + module.name + " has no END");
        return;
      }
      if (t.kind != Tok::kWord) {
        problems_.Add(t.line, "unexpected '" + std::string(t.text.substr(0, 40)) + "'");
        SkipValue();
        continue;
      }
      if (t.text == "END") {
        Next();
        return;
      }
      if (t.text == "IMPORTS") {
        Next();
        Imports(module);
        continue;
      }
      if (t.text == "EXPORTS") {
        while (!AtEnd() && !Accept(Tok::kSemicolon)) Next();
        continue;
      }
      Assignment(module);
    }
  }

  void Imports(ModuleSyntax& module) {
    std::vector<std::string> symbols;
    while (!AtEnd()) {
      if (Accept(Tok::kSemicolon)) break;
      if (IsWord("FROM")) {
        Next();
        if (Peek().kind != Tok::kWord) {
          problems_.Add(Peek().line, "FROM without a module name");
          continue;
        }
        const Token& from = Next();
        module.imports.push_back(Import{std::string(from.text), std::move(symbols), from.line});
        symbols.clear();
        // A missing ';': a symbol is followed by ',' or FROM, anything else begins a definition.
        if (Peek().kind == Tok::kWord && Peek(1).kind != Tok::kComma && !IsWord("FROM", 1)) {
          problems_.Add(from.line, "IMPORTS does not end with ';'");
          return;
        }
        continue;
      }
      const Token& t = Next();
      if (t.kind == Tok::kWord) {
        symbols.emplace_back(t.text);
      } else if (t.kind == Tok::kLBrace) {  // an imported macro's name written with braces
        --pos_;
        SkipBalanced();
      }
    }
    if (!symbols.empty()) problems_.Add(Peek().line, "IMPORTS names symbols without FROM");
  }

  void Assignment(ModuleSyntax& module) {
    const Token& label = Next();
    Definition def;
    def.label = std::string(label.text);
    def.line = label.line;
    if (Accept(Tok::kAssign)) {
      if (AcceptWord("TEXTUAL-CONVENTION")) {
        def.form = Definition::Form::kConvention;
        Clauses(def, /*until_syntax=*/true);
      } else {
        def.form = Definition::Form::kType;
        def.has_syntax = Type(def.syntax);
      }
      module.definitions.push_back(std::move(def));
      return;
    }
    if (AcceptWord("MACRO")) {
      // A macro's body is its own grammar: skip to its END.
      while (!AtEnd() && !AcceptWord("END")) Next();
      module.macros.push_back(def.label);
      return;
    }
    if (IsWord("OBJECT") && IsWord("IDENTIFIER", 1) && Peek(2).kind == Tok::kAssign) {
      pos_ += 3;
      if (OidValue(def.oid)) module.definitions.push_back(std::move(def));
      return;
    }
    bool known = false;
    if (Peek().kind == Tok::kWord) def.kind = MacroKind(Peek().text, known, def.trap);
    if (!known) {
      problems_.Add(def.line, "cannot read the definition of " + def.label);
      while (!AtEnd() && Peek().kind != Tok::kAssign && !IsWord("END")) SkipValue();
      if (Accept(Tok::kAssign)) SkipValue();
      return;
    }
    Next();
    if (!Clauses(def, false)) return;
    if (def.trap) {
      std::int64_t number = -1;
      if (!IsNumber() || !NumberOf(Next(), number) || number < 0 ||
          number > std::numeric_limits<std::uint32_t>::max()) {
        problems_.Add(def.line, "TRAP-TYPE " + def.label + " has no trap number");
        SkipValue();
        return;
      }
      def.trap_number = static_cast<std::uint32_t>(number);
    } else if (!OidValue(def.oid)) {
      return;
    }
    module.definitions.push_back(std::move(def));
  }

  bool IsNumber() const {
    const Tok k = Peek().kind;
    return k == Tok::kNumber || k == Tok::kHex || k == Tok::kBinary;
  }

  std::string Text() {
    if (Peek().kind != Tok::kString) {
      problems_.Add(Peek().line, "a string was expected");
      return {};
    }
    return std::string(Next().text);
  }

  // The clauses of a macro up to its "::=" (or, for a TEXTUAL-CONVENTION, up to the end of its
  // SYNTAX). False when the definition cannot end.
  bool Clauses(Definition& def, bool until_syntax) {
    const bool conformance = def.kind == NodeKind::kGroup || def.kind == NodeKind::kCompliance ||
                             def.kind == NodeKind::kCapabilities;
    while (true) {
      const Token& t = Peek();
      if (t.kind == Tok::kAssign && !until_syntax) {
        Next();
        return true;
      }
      if (t.kind == Tok::kEnd || (t.kind == Tok::kWord && t.text == "END")) {
        problems_.Add(def.line, def.label + " ends before its value");
        return false;
      }
      if (t.kind != Tok::kWord || conformance) {
        SkipValue();
        continue;
      }
      const std::string_view word = t.text;
      Next();
      if (word == "SYNTAX") {
        def.has_syntax = Type(def.syntax);
        if (until_syntax) return true;
      } else if (word == "UNITS") {
        def.units = Text();
      } else if (word == "ACCESS" || word == "MAX-ACCESS") {
        if (Peek().kind == Tok::kWord) def.access = std::string(Next().text);
      } else if (word == "STATUS") {
        if (Peek().kind == Tok::kWord) def.status = std::string(Next().text);
      } else if (word == "DISPLAY-HINT") {
        def.display_hint = Text();
      } else if (word == "INDEX") {
        Index(def);
      } else if (word == "AUGMENTS") {
        if (Accept(Tok::kLBrace)) {
          if (Peek().kind == Tok::kWord) def.augments = std::string(Next().text);
          while (!AtEnd() && !Accept(Tok::kRBrace)) SkipValue();
        }
      } else if (word == "ENTERPRISE") {
        if (Peek().kind == Tok::kWord) {
          def.enterprise.push_back(OidComponent{std::string(Next().text), {}});
        } else if (Peek().kind == Tok::kLBrace) {
          OidValue(def.enterprise);
        }
      } else if (IsOpener(Peek().kind)) {
        SkipBalanced();  // DEFVAL, OBJECTS, VARIABLES, ... and unknown clauses
      }
    }
  }

  void Index(Definition& def) {
    if (!Accept(Tok::kLBrace)) return;
    bool implied = false;
    while (!AtEnd() && !Accept(Tok::kRBrace)) {
      const Token& t = Peek();
      if (t.kind == Tok::kWord && t.text == "IMPLIED") {
        implied = true;
        Next();
      } else if (t.kind == Tok::kWord) {
        std::string label(Next().text);
        while (Peek().kind == Tok::kWord) {  // OCTET STRING
          label += ' ';
          label.append(Next().text);
        }
        def.index.push_back(IndexPart{std::move(label), implied});
        implied = false;
      } else {
        SkipValue();
      }
    }
  }

  // "{ iso org(3) 6 }" after "::=".
  bool OidValue(std::vector<OidComponent>& oid) {
    const int line = Peek().line;
    if (!Accept(Tok::kLBrace)) {
      problems_.Add(line, "an OID value { ... } was expected");
      SkipValue();
      return false;
    }
    while (!Accept(Tok::kRBrace)) {
      const Token& t = Peek();
      if (t.kind == Tok::kEnd) {
        problems_.Add(line, "an OID value that is never closed");
        return false;
      }
      OidComponent component;
      if (t.kind == Tok::kWord) {
        component.name = std::string(Next().text);
        if (Peek().kind == Tok::kLParen) {
          Next();
          if (!Arc(component)) return false;
          if (!Accept(Tok::kRParen)) {
            problems_.Add(line, "an OID component's number is not closed with ')'");
            return false;
          }
        }
      } else if (IsNumber()) {
        if (!Arc(component)) return false;
      } else if (t.kind == Tok::kComma) {
        Next();
        continue;
      } else {
        problems_.Add(t.line,
                      "unexpected '" + std::string(t.text.substr(0, 40)) + "' in an OID value");
        SkipValue();
        continue;
      }
      if (oid.size() >= 128) {
        problems_.Add(line, "an OID value of more than 128 components");
        while (!AtEnd() && !Accept(Tok::kRBrace)) SkipValue();
        return false;
      }
      oid.push_back(std::move(component));
    }
    if (oid.empty()) {
      problems_.Add(line, "an empty OID value");
      return false;
    }
    return true;
  }

  bool Arc(OidComponent& component) {
    std::int64_t number = -1;
    const Token& t = Peek();
    if (!IsNumber() || !NumberOf(Next(), number) || number < 0 ||
        number > std::numeric_limits<std::uint32_t>::max()) {
      problems_.Add(t.line, "an OID component that is not a number from 0 to 4294967295");
      return false;
    }
    component.number = static_cast<std::uint32_t>(number);
    return true;
  }

  bool Type(TypeRef& type) {
    if (Accept(Tok::kLBracket)) {
      std::int64_t tag = -1;
      if (AcceptWord("APPLICATION") || AcceptWord("UNIVERSAL") || AcceptWord("PRIVATE")) {
      }
      if (IsNumber() && NumberOf(Next(), tag) && tag >= 0 && tag < 64)
        type.application_tag = static_cast<int>(tag);
      while (!AtEnd() && !Accept(Tok::kRBracket)) Next();
      if (!AcceptWord("IMPLICIT")) AcceptWord("EXPLICIT");
    }
    const Token& t = Peek();
    if (t.kind != Tok::kWord) {
      problems_.Add(t.line, "a type was expected");
      return false;
    }
    Next();
    if (t.text == "OCTET" && AcceptWord("STRING")) {
      type.name = "OCTET STRING";
    } else if (t.text == "OBJECT" && AcceptWord("IDENTIFIER")) {
      type.name = "OBJECT IDENTIFIER";
    } else if (t.text == "SEQUENCE" && AcceptWord("OF")) {
      type.name = "SEQUENCE OF";
      if (Peek().kind == Tok::kWord) type.entry = std::string(Next().text);
      return true;
    } else if ((t.text == "SEQUENCE" || t.text == "CHOICE") && Peek().kind == Tok::kLBrace) {
      type.name = std::string(t.text);
      SkipBalanced();
      return true;
    } else {
      type.name = std::string(t.text);
    }
    if (Peek().kind == Tok::kLBrace) NamedNumbers(type);
    if (Peek().kind == Tok::kLParen) Constraint(type);
    return true;
  }

  void NamedNumbers(TypeRef& type) {
    const int line = Peek().line;
    Next();
    while (!Accept(Tok::kRBrace)) {
      if (AtEnd()) {
        problems_.Add(line, "a list of named numbers that is never closed");
        return;
      }
      if (Accept(Tok::kComma)) continue;
      if (Peek().kind != Tok::kWord || Peek(1).kind != Tok::kLParen) {
        problems_.Add(Peek().line, "a named number name(value) was expected");
        SkipValue();
        continue;
      }
      NamedNumber named{std::string(Next().text), 0};
      Next();
      if (!IsNumber() || !NumberOf(Next(), named.value))
        problems_.Add(Peek().line, "the number of " + named.label + " is not a number");
      if (!Accept(Tok::kRParen)) {
        problems_.Add(Peek().line, "a named number is not closed with ')'");
        while (!AtEnd() && Peek().kind != Tok::kRBrace) SkipValue();
        continue;
      }
      if (type.named_numbers.size() < 65536) type.named_numbers.push_back(std::move(named));
    }
  }

  // "(0..10 | 20)", "(SIZE (0..255))", "(SIZE (4))".
  void Constraint(TypeRef& type) {
    const std::size_t open = pos_;
    Next();
    std::vector<Range>* into = &type.ranges;
    bool size = false;
    if (AcceptWord("SIZE")) {
      size = true;
      into = &type.sizes;
      if (!Accept(Tok::kLParen)) {
        pos_ = open;
        SkipBalanced();
        return;
      }
    }
    while (true) {
      Range range;
      if (!Bound(range.low)) break;
      range.high = range.low;
      if (Accept(Tok::kRange) && !Bound(range.high)) break;
      if (into->size() < 4096) into->push_back(range);
      if (Accept(Tok::kBar)) continue;
      if (Accept(Tok::kRParen) && (!size || Accept(Tok::kRParen))) return;
      break;
    }
    problems_.Add(Peek().line, "cannot read a range or SIZE");
    pos_ = open;
    SkipBalanced();
  }

  bool Bound(std::int64_t& value) {
    if (AcceptWord("MIN")) {
      value = std::numeric_limits<std::int64_t>::min();
      return true;
    }
    if (AcceptWord("MAX")) {
      value = std::numeric_limits<std::int64_t>::max();
      return true;
    }
    return IsNumber() && NumberOf(Next(), value);
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  Problems& problems_;
};

}  // namespace

std::vector<ModuleSyntax> ParseModules(std::string_view text, Problems& problems) {
  Parser parser(Lex(text, problems), problems);
  return parser.Modules();
}

std::string ModuleNameIn(std::string_view head) {
  // Only the text up to a DEFINITIONS is lexed (one in a comment or a string sends the search
  // on, a few times at most: each try lexes the head again).
  int tries = 0;
  for (std::size_t at = head.find("DEFINITIONS"); at != std::string_view::npos && tries++ < 8;
       at = head.find("DEFINITIONS", at + 1)) {
    std::vector<Diagnostic> ignored;
    Problems problems(ignored, "");
    const std::vector<Token> tokens = Lex(head.substr(0, at + 11), problems);
    if (tokens.size() < 2) continue;
    const Token& last = tokens[tokens.size() - 2];
    if (last.kind != Tok::kWord || last.text != "DEFINITIONS") continue;
    std::size_t name_at = SIZE_MAX;
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
      if (tokens[i].kind == Tok::kWord) name_at = i;
      if (tokens[i].kind == Tok::kLBrace) {  // the module's own OID: { iso ... }
        int depth = 0;
        for (; i + 2 < tokens.size(); ++i) {
          if (tokens[i].kind == Tok::kLBrace) ++depth;
          if (tokens[i].kind == Tok::kRBrace && --depth == 0) break;
        }
      }
    }
    return name_at == SIZE_MAX ? std::string() : std::string(tokens[name_at].text);
  }
  return {};
}

}  // namespace kivostrel::mib
