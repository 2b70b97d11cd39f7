#include "mysql/uMysqlStatementScanner.h"

#include <cctype>

namespace mysql {

namespace {

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::string TStatementScanner::Keyword() {
  SkipSpaceAndComments();
  std::string word;
  while (pos_ < text_.size() && IsWordChar(text_[pos_]))
    word += static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_++])));
  return word;
}

std::optional<std::pair<std::string_view, char>> TStatementScanner::QuotedLiteral() {
  SkipSpaceAndComments();
  if (pos_ >= text_.size() || (text_[pos_] != '\'' && text_[pos_] != '"')) return std::nullopt;
  const char quote = text_[pos_++];
  const std::size_t start = pos_;
  while (pos_ < text_.size()) {
    const char c = text_[pos_];
    if (c == '\\' && pos_ + 1 < text_.size()) {
      pos_ += 2;
    } else if (c == quote && pos_ + 1 < text_.size() && text_[pos_ + 1] == quote) {
      pos_ += 2;
    } else if (c == quote) {
      return std::pair{text_.substr(start, pos_++ - start), quote};
    } else {
      ++pos_;
    }
  }
  return std::nullopt;
}

void TStatementScanner::SkipSpaceAndComments() {
  while (pos_ < text_.size()) {
    const std::string_view rest = text_.substr(pos_);
    if (std::isspace(static_cast<unsigned char>(rest[0]))) {
      ++pos_;
    } else if (readExecutableComments_ && rest.starts_with("/*!")) {
      pos_ += 3;
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    } else if (readExecutableComments_ && rest.starts_with("*/")) {
      pos_ += 2;
    } else if (rest.starts_with("/*")) {
      const std::size_t end = rest.find("*/", 2);
      pos_ = end == std::string_view::npos ? text_.size() : pos_ + end + 2;
    } else if (rest[0] == '#' || rest.starts_with("-- ")) {
      const std::size_t end = rest.find('\n');
      pos_ = end == std::string_view::npos ? text_.size() : pos_ + end + 1;
    } else {
      return;
    }
  }
}

}  // namespace mysql
