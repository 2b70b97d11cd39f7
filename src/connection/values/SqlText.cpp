#include "connection/values/SqlText.h"

namespace connection {

namespace {

// Appends text, each byte `escape` answers with a replacement written in its
// place; runs of other bytes go in one piece.
template <typename Escape>
void AppendReplacing(std::string& out, std::string_view text, Escape escape) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view replacement = escape(text[i]);
    if (replacement.empty()) continue;
    out.append(text, run, i - run);
    out.append(replacement);
    run = i + 1;
  }
  out.append(text, run, text.size() - run);
}

std::string_view LoadDataEscape(char c) {
  switch (c) {
    case '\0':
      return "\\0";
    case '\t':
      return "\\t";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\\':
      return "\\\\";
    default:
      return {};
  }
}

}  // namespace

std::string QuoteName(std::string_view name) {
  std::string quoted(1, '`');
  AppendReplacing(quoted, name, [](char c) { return c == '`' ? std::string_view("``") : ""; });
  quoted.push_back('`');
  return quoted;
}

void AppendQuoted(std::string& out, std::string_view text, const mysql::TEscaping& escaping) {
  out.push_back('\'');
  mysql::AppendEscaped(out, text, escaping);
  out.push_back('\'');
}

void AppendLoadDataField(std::string& out, const std::optional<std::string>& value) {
  if (!value) {
    out.append("\\N");
    return;
  }
  AppendReplacing(out, *value, LoadDataEscape);
}

}  // namespace connection
