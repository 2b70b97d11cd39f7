#include "host/ScriptParser.h"

#include <charconv>
#include <limits>
#include <sstream>

#include "host/Utf8.h"

namespace host {

namespace {

struct TToken {
  enum class TKind { Name, Text, Number, Symbol, End };
  TKind Kind = TKind::End;
  std::string Text;  // the name, the string's content, the number's digits or the symbol
};

bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '_';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::vector<TToken> Tokenize(const std::string& line, int lineNumber) {
  std::vector<TToken> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t') {
      ++i;
    } else if (c == '"') {
      std::string text;
      for (++i;; ++i) {
        if (i >= line.size()) throw TScriptError(lineNumber, "unterminated string");
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            text += '"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        text += line[i];
      }
      tokens.push_back({TToken::TKind::Text, text});
    } else if (IsDigit(c) || (c == '-' && i + 1 < line.size() && IsDigit(line[i + 1]))) {
      const std::size_t start = i++;
      while (i < line.size() && (IsDigit(line[i]) || line[i] == '.')) ++i;
      tokens.push_back({TToken::TKind::Number, line.substr(start, i - start)});
    } else if (IsNameChar(c)) {
      const std::size_t start = i;
      while (i < line.size() && IsNameChar(line[i])) ++i;
      tokens.push_back({TToken::TKind::Name, line.substr(start, i - start)});
    } else if (std::string_view("=.(),").find(c) != std::string_view::npos) {
      tokens.push_back({TToken::TKind::Symbol, std::string(1, c)});
      ++i;
    } else {
      throw TScriptError(lineNumber, std::string("unexpected character '") + c + "'");
    }
  }
  tokens.push_back({TToken::TKind::End, ""});
  return tokens;
}

class TLineParser {
 public:
  TLineParser(std::vector<TToken> tokens, int line) : tokens_(std::move(tokens)), line_(line) {}

  TStatement Statement() {
    TStatement statement;
    statement.Line = line_;
    const TToken& first = Peek();
    if (first.Kind == TToken::TKind::Name && first.Text == "echo") {
      Next();
      if (Peek().Kind != TToken::TKind::Text) Fail("echo needs a quoted text");
      statement.Kind = TStatement::TKind::Echo;
      statement.Text = Next().Text;
    } else if (first.Kind == TToken::TKind::Name &&
               (first.Text == "print" || first.Text == "dump") && PeekSymbol("(", 1)) {
      statement.Kind = first.Text == "print" ? TStatement::TKind::Print : TStatement::TKind::Dump;
      Next();
      Next();
      statement.Target = Expression();
      Expect(")");
    } else if (first.Kind == TToken::TKind::Name && PeekSymbol("=", 1)) {
      statement.Kind = TStatement::TKind::Assign;
      statement.Name = Next().Text;
      Next();
      statement.Value = Expression();
    } else {
      TExprPtr target = Expression();
      if (PeekSymbol("=")) {
        if (target->Kind != TExpr::TKind::Member) Fail("only a variable or a property can be set");
        Next();
        statement.Kind = TStatement::TKind::Put;
        statement.Name = target->Name;
        statement.Target = std::move(target->Object);
        statement.Value = Expression();
      } else if (target->Kind == TExpr::TKind::Call) {
        statement.Kind = TStatement::TKind::Call;
        statement.Target = std::move(target);
      } else {
        Fail("a statement must set a variable or a property, or call a method");
      }
    }
    if (Peek().Kind != TToken::TKind::End) Fail("unexpected \"" + Peek().Text + "\"");
    return statement;
  }

 private:
  const TToken& Peek(std::size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  bool PeekSymbol(std::string_view symbol, std::size_t ahead = 0) const {
    return Peek(ahead).Kind == TToken::TKind::Symbol && Peek(ahead).Text == symbol;
  }
  const TToken& Next() {
    const TToken& token = Peek();
    if (pos_ < tokens_.size() - 1) ++pos_;
    return token;
  }
  void Expect(std::string_view symbol) {
    if (!PeekSymbol(symbol)) Fail(std::string("expected \"").append(symbol).append("\""));
    Next();
  }
  [[noreturn]] void Fail(const std::string& why) const { throw TScriptError(line_, why); }

  TExprPtr Expression() {
    TExprPtr expr = Primary();
    while (PeekSymbol(".")) {
      Next();
      if (Peek().Kind != TToken::TKind::Name) Fail("expected a member name after \".\"");
      auto member = std::make_unique<TExpr>();
      member->Name = Next().Text;
      member->Object = std::move(expr);
      member->Kind = TExpr::TKind::Member;
      if (PeekSymbol("(")) {
        Next();
        member->Kind = TExpr::TKind::Call;
        member->Args = Arguments();
      }
      expr = std::move(member);
    }
    return expr;
  }

  // After "(": values and empty positions up to ")".
  std::vector<TExprPtr> Arguments() {
    std::vector<TExprPtr> args;
    if (PeekSymbol(")")) {
      Next();
      return args;
    }
    for (;;) {
      if (PeekSymbol(",") || PeekSymbol(")"))
        args.push_back(nullptr);
      else
        args.push_back(Expression());
      if (PeekSymbol(")")) {
        Next();
        return args;
      }
      Expect(",");
    }
  }

  TExprPtr Primary() {
    auto expr = std::make_unique<TExpr>();
    const TToken token = Next();
    switch (token.Kind) {
      case TToken::TKind::Text:
        expr->Literal = platform::TOleVariant::FromWide(Utf16FromUtf8(token.Text));
        return expr;
      case TToken::TKind::Number:
        expr->Literal = Number(token.Text);
        return expr;
      case TToken::TKind::Name:
        if (token.Text == "Null") {
          expr->Literal = platform::TOleVariant::Null();
        } else if (token.Text == "Empty") {
          expr->Literal = platform::TOleVariant::Empty();
        } else if ((token.Text == "CreateObject" || token.Text == "СоздатьОбъект") &&
                   PeekSymbol("(")) {
          Next();
          expr->Kind = TExpr::TKind::Create;
          expr->Object = Expression();
          Expect(")");
        } else {
          expr->Kind = TExpr::TKind::Variable;
          expr->Name = token.Text;
        }
        return expr;
      default:
        Fail(token.Kind == TToken::TKind::End ? "expected a value"
                                              : "unexpected \"" + token.Text + "\"");
    }
  }

  platform::TOleVariant Number(const std::string& text) const {
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (text.find('.') != std::string::npos) {
      double value = 0;
      const auto [stop, error] = std::from_chars(begin, end, value);
      if (error != std::errc() || stop != end) Fail("bad number " + text);
      return platform::TOleVariant(value);
    }
    std::int64_t value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end) Fail("bad integer " + text);
    if (value >= std::numeric_limits<std::int32_t>::min() &&
        value <= std::numeric_limits<std::int32_t>::max())
      return platform::TOleVariant(static_cast<std::int32_t>(value));
    return platform::TOleVariant(value);
  }

  std::vector<TToken> tokens_;
  std::size_t pos_ = 0;
  int line_;
};

// The statement text of a line: without the line end, surrounding blanks and
// a trailing ";".
std::string StatementText(std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
    line.pop_back();
  if (!line.empty() && line.back() == ';') line.pop_back();
  const std::size_t first = line.find_first_not_of(" \t");
  return first == std::string::npos ? std::string() : line.substr(first);
}

}  // namespace

std::vector<TStatement> ParseScript(const std::string& text) {
  std::vector<TStatement> statements;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (number == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    const std::string statement = StatementText(line);
    if (statement.empty() || statement.front() == '#') continue;
    statements.push_back(TLineParser(Tokenize(statement, number), number).Statement());
  }
  return statements;
}

}  // namespace host
