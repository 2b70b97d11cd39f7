#pragma once
// A small tokenizer over statement text, for the few decisions the client
// takes from what a statement says (which local file it may upload, what a
// statement leaves behind in the session). Whitespace and comments between
// tokens are skipped; nothing else of SQL is understood.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace mysql {

enum class TTokenKind : std::uint8_t {
  End,             // nothing follows
  Word,            // letters, digits, '_' and '$' (keywords, names, numbers)
  UserVariable,    // @name, @'name', @"name", @`name`
  SystemVariable,  // @@name, @@session.name, @@global.name ...
  Literal,         // a quoted string ('...' or "...")
  Identifier,      // a backquoted name
  Symbol,          // one character of punctuation, or ":="
};

struct TToken {
  TTokenKind Kind = TTokenKind::End;
  std::string_view Text;  // as written (quotes and markers included)

  [[nodiscard]] bool Is(TTokenKind kind) const { return Kind == kind; }
  // A word equal to `keyword` (upper case), ignoring case.
  [[nodiscard]] bool IsKeyword(std::string_view keyword) const;
  [[nodiscard]] bool IsSymbol(std::string_view symbol) const {
    return Kind == TTokenKind::Symbol && Text == symbol;
  }
};

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

  // The next token of any kind. An unterminated quote runs to the end.
  TToken Next();
  // Where the next token (or the space before it) begins.
  [[nodiscard]] std::size_t Position() const { return std::min(pos_, text_.size()); }

 private:
  void SkipSpaceAndComments();
  // Moves past a quoted run starting at pos_ (its opening quote).
  void SkipQuoted();

  std::string_view text_;
  bool readExecutableComments_;
  std::size_t pos_ = 0;
};

// The upper-cased form of a word, for comparing keywords and names.
std::string UpperCase(std::string_view word);
std::string LowerCase(std::string_view word);

}  // namespace mysql
