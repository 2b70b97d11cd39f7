#include "mysql/uMysqlStatementScanner.h"

#include <algorithm>
#include <cctype>

namespace mysql {

namespace {

bool IsWordChar(char c) {
  // Bytes above 127 belong to names written in the connection's character set.
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsKeywordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsQuote(char c) {
  return c == '\'' || c == '"' || c == '`';
}

}  // namespace

std::string UpperCase(std::string_view word) {
  std::string upper(word);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

std::string LowerCase(std::string_view word) {
  std::string lower(word);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

bool TToken::IsKeyword(std::string_view keyword) const {
  return Kind == TTokenKind::Word && Text.size() == keyword.size() && UpperCase(Text) == keyword;
}

std::string TStatementScanner::Keyword() {
  SkipSpaceAndComments();
  std::string word;
  while (pos_ < text_.size() && IsKeywordChar(text_[pos_]))
    word += static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_++])));
  return word;
}

std::optional<std::pair<std::string_view, char>> TStatementScanner::QuotedLiteral() {
  SkipSpaceAndComments();
  if (pos_ >= text_.size() || (text_[pos_] != '\'' && text_[pos_] != '"')) return std::nullopt;
  const char quote = text_[pos_];
  const std::size_t start = pos_;
  SkipQuoted();
  // Unterminated: no literal.
  if (pos_ > text_.size()) return std::nullopt;  // unterminated
  return std::pair{text_.substr(start + 1, pos_ - start - 2), quote};
}

void TStatementScanner::SkipQuoted() {
  const char quote = text_[pos_++];
  while (pos_ < text_.size()) {
    const char c = text_[pos_];
    if (c == '\\' && quote != '`' && pos_ + 1 < text_.size()) {
      pos_ += 2;
    } else if (c == quote && pos_ + 1 < text_.size() && text_[pos_ + 1] == quote) {
      pos_ += 2;
    } else if (c == quote) {
      ++pos_;
      return;
    } else {
      ++pos_;
    }
  }
  // Unterminated: the run takes the rest; a closing quote is missing.
  pos_ = text_.size() + 1;
}

TToken TStatementScanner::Next() {
  SkipSpaceAndComments();
  if (pos_ >= text_.size()) return {};
  const std::size_t start = pos_;
  const auto token = [&](TTokenKind kind) {
    pos_ = std::min(pos_, text_.size());
    return TToken{kind, text_.substr(start, pos_ - start)};
  };
  const char c = text_[pos_];
  if (IsWordChar(c)) {
    while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
    return token(TTokenKind::Word);
  }
  if (IsQuote(c)) {
    SkipQuoted();
    return token(c == '`' ? TTokenKind::Identifier : TTokenKind::Literal);
  }
  if (c == '@') {
    ++pos_;
    const bool system = pos_ < text_.size() && text_[pos_] == '@';
    if (system) ++pos_;
    // @@session.name: the scope and the name, each a word or a quoted name.
    for (;;) {
      if (pos_ < text_.size() && IsQuote(text_[pos_])) {
        SkipQuoted();
      } else {
        while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
      }
      if (!system || pos_ >= text_.size() || text_[pos_] != '.') break;
      ++pos_;
    }
    return token(system ? TTokenKind::SystemVariable : TTokenKind::UserVariable);
  }
  ++pos_;
  if (c == ':' && pos_ < text_.size() && text_[pos_] == '=') ++pos_;
  return token(TTokenKind::Symbol);
}

void TStatementScanner::SkipSpaceAndComments() {
  while (pos_ < text_.size()) {
    const std::string_view rest = text_.substr(pos_);
    if (std::isspace(static_cast<unsigned char>(rest[0]))) {
      ++pos_;
    } else if (readExecutableComments_ && rest.starts_with("/*!")) {
      pos_ += 3;
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    } else if (readExecutableComments_ && rest.starts_with("/*M!")) {
      pos_ += 4;
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    } else if (readExecutableComments_ && rest.starts_with("*/")) {
      pos_ += 2;
    } else if (rest.starts_with("/*")) {
      const std::size_t end = rest.find("*/", 2);
      pos_ = end == std::string_view::npos ? text_.size() : pos_ + end + 2;
    } else if (rest[0] == '#' || rest.starts_with("-- ") || rest == "--" ||
               rest.starts_with("--\t") || rest.starts_with("--\n")) {
      const std::size_t end = rest.find('\n');
      pos_ = end == std::string_view::npos ? text_.size() : pos_ + end + 1;
    } else {
      return;
    }
  }
}

}  // namespace mysql
