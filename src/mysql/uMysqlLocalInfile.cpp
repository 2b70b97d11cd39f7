#include "mysql/uMysqlLocalInfile.h"

#include <string>

#include "mysql/uMysqlStatementScanner.h"

namespace mysql {

namespace {

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

}  // namespace mysql
