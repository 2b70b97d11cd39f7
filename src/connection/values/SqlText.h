// Pieces of statement text: names in backquotes, and values as the server
// reads them in a quoted string or in a line of LOAD DATA.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "mysql/uMysqlEscape.h"

namespace connection {

// `name`, a backquote inside it doubled.
std::string QuoteName(std::string_view name);

// 'text' as a string literal a session that reads quoted strings as
// `escaping` says reads back as exactly the text.
void AppendQuoted(std::string& out, std::string_view text, const mysql::TEscaping& escaping);

// One field of a line in the format LoadDataFormat names: NULL as \N; the
// backslash, tab, line feed, carriage return and NUL escaped.
void AppendLoadDataField(std::string& out, const std::optional<std::string>& value);

// The FIELDS and LINES clauses of that format: fields end at a tab, lines at
// a line feed, nothing encloses a field, the backslash escapes. Written with
// hexadecimal literals, which read the same under NO_BACKSLASH_ESCAPES.
inline constexpr std::string_view kLoadDataFormat =
    "FIELDS TERMINATED BY 0x09 ENCLOSED BY '' ESCAPED BY 0x5C "
    "LINES STARTING BY '' TERMINATED BY 0x0A";

}  // namespace connection
