#pragma once
// A small tokenizer over statement text, for the few decisions the client
// takes from what a statement says (which local file it may upload, which
// character set it chooses). Whitespace and comments between tokens are
// skipped; nothing else of SQL is understood.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace mysql {

class TStatementScanner {
 public:
  // Comments run by the server as statement text ("/*!40101 SET NAMES ... */"
  // in dumps): skipped whole unless `readExecutableComments` is set, then
  // their markers are skipped and their text is scanned.
  explicit TStatementScanner(std::string_view text, bool readExecutableComments = false)
      : text_(text), readExecutableComments_(readExecutableComments) {}

  // The next keyword (letters, digits, '_'), upper-cased; empty when the next
  // token is something else.
  std::string Keyword();

  // The raw body of a quoted literal (quotes removed, escapes kept) and its quote.
  std::optional<std::pair<std::string_view, char>> QuotedLiteral();

 private:
  void SkipSpaceAndComments();

  std::string_view text_;
  bool readExecutableComments_;
  std::size_t pos_ = 0;
};

}  // namespace mysql
