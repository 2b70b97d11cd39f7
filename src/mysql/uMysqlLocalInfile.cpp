#include "mysql/uMysqlLocalInfile.h"

#include <cctype>
#include <optional>
#include <string>

namespace {

class TStatementScanner {
 public:
  explicit TStatementScanner(std::string_view text) : text_(text) {}

  // The next keyword (letters, digits, '_'), upper-cased; empty when the next
  // token is something else.
  std::string Keyword() {
    SkipSpaceAndComments();
    std::string word;
    while (pos_ < text_.size() && IsWordChar(text_[pos_]))
      word += static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_++])));
    return word;
  }

  // The raw body of a quoted literal (quotes removed, escapes kept) and its quote.
  std::optional<std::pair<std::string_view, char>> QuotedLiteral() {
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

 private:
  static bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

  void SkipSpaceAndComments() {
    while (pos_ < text_.size()) {
      const std::string_view rest = text_.substr(pos_);
      if (std::isspace(static_cast<unsigned char>(rest[0]))) {
        ++pos_;
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

  std::string_view text_;
  std::size_t pos_ = 0;
};

// A doubled quote stands for one quote in either mode.
std::string Unquote(std::string_view body, char quote, bool backslashEscapes) {
  std::string value;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (backslashEscapes && c == '\\' && i + 1 < body.size()) {
      const char next = body[++i];
      switch (next) {
        case '0':
          value += '\0';
          break;
        case 'b':
          value += '\b';
          break;
        case 'n':
          value += '\n';
          break;
        case 'r':
          value += '\r';
          break;
        case 't':
          value += '\t';
          break;
        case 'Z':
          value += '\x1A';
          break;
        // The pattern characters keep their backslash, as the server reads them.
        case '%':
        case '_':
          value += '\\';
          value += next;
          break;
        default:
          value += next;
          break;
      }
    } else if (c == quote && i + 1 < body.size() && body[i + 1] == quote) {
      value += quote;
      ++i;
    } else {
      value += c;
    }
  }
  return value;
}

}  // namespace

bool StatementNamesLocalFile(std::string_view statement, std::string_view fileName) {
  TStatementScanner scanner(statement);
  if (scanner.Keyword() != "LOAD") return false;
  const std::string kind = scanner.Keyword();
  if (kind != "DATA" && kind != "XML") return false;
  std::string word = scanner.Keyword();
  if (word == "LOW_PRIORITY" || word == "CONCURRENT") word = scanner.Keyword();
  if (word != "LOCAL" || scanner.Keyword() != "INFILE") return false;
  const auto literal = scanner.QuotedLiteral();
  if (!literal) return false;
  const auto [body, quote] = *literal;
  return Unquote(body, quote, true) == fileName || Unquote(body, quote, false) == fileName;
}
