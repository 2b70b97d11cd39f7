#include "mysql/uMysqlSessionState.h"

#include <algorithm>

#include "mysql/uMysqlStatementScanner.h"

namespace mysql {

namespace {

bool IsNumber(std::string_view value) {
  std::size_t i = value.starts_with('-') ? 1 : 0;
  bool digits = false, point = false;
  for (; i < value.size(); ++i) {
    if (value[i] >= '0' && value[i] <= '9') {
      digits = true;
    } else if (value[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

// A value as the server reported it, written so that any session reads it
// back the same: numbers as they are, anything else as a hexadecimal string
// (no quote, backslash or character set can change it). The server reports
// an unset character set as empty.
std::string ValueLiteral(std::string_view name, std::string_view value) {
  if (IsNumber(value)) return std::string(value);
  if (value.empty() && name.starts_with("character_set_")) return "NULL";
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string literal = "X'";
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    literal += kDigits[byte >> 4];
    literal += kDigits[byte & 0xF];
  }
  return literal += '\'';
}

std::string QuotedName(std::string_view name) {
  std::string quoted = "`";
  for (const char c : name) {
    quoted += c;
    if (c == '`') quoted += '`';
  }
  return quoted += '`';
}

bool SetsCharset(const std::vector<std::string>& variables) {
  return std::any_of(variables.begin(), variables.end(),
                     [](const std::string& name) { return IsCharsetVariable(name); });
}

}  // namespace

void TSessionState::NoteStatement(std::string_view statement, const TStatementEffects& effects,
                                  const TSessionChanges& changes, std::uint64_t insertId) {
  // SET TRANSACTION holds only until the statement after it.
  holdings_ &= ~std::uint32_t{HoldsNextTransaction};
  if (effects.UnlocksTables) holdings_ &= ~std::uint32_t{HoldsTableLocks};
  holdings_ |= effects.Holdings;
  if (effects.UsedDatabase) database_ = effects.UsedDatabase;
  if (effects.RepeatableSet) AddStep(std::string(statement), effects.SetVariables);
  NoteReply(effects, changes, insertId);
}

void TSessionState::NoteReply(const TStatementEffects& effects, const TSessionChanges& changes,
                              std::uint64_t insertId) {
  if (insertId != 0) holdings_ |= HoldsInsertId;
  if (changes.Database) database_ = changes.Database;
  if (!effects.RepeatableSet) {
    // Settings changed by a statement that cannot simply be repeated (a
    // procedure): the values the server reported are set again.
    for (const auto& [name, value] : changes.Variables) {
      const std::string lower = LowerCase(name);
      if (lower.starts_with("session_track_")) continue;
      AddStep("SET SESSION " + QuotedName(lower) + " = " + ValueLiteral(lower, value), {lower});
    }
  }
  if (changes.StateChanged && changes.Variables.empty() && !changes.Database)
    NoteStateChanged(effects);
}

void TSessionState::NoteStateChanged(const TStatementEffects& effects) {
  if (!effects.ExplainsStateChange) holdings_ |= HoldsOtherState;
}

void TSessionState::AddStep(std::string statement, std::vector<std::string> variables) {
  std::sort(variables.begin(), variables.end());
  variables.erase(std::unique(variables.begin(), variables.end()), variables.end());
  std::erase_if(steps_, [&](const TRestoreStep& step) {
    return std::includes(variables.begin(), variables.end(), step.Variables.begin(),
                         step.Variables.end());
  });
  steps_.push_back({std::move(statement), std::move(variables)});
}

std::vector<std::string> TSessionState::RestoreStatements() const {
  std::vector<std::string> statements;
  for (const TRestoreStep& step : steps_) statements.push_back(step.Statement);
  return statements;
}

std::vector<std::string> TSessionState::CharsetStatements() const {
  std::vector<std::string> statements;
  for (const TRestoreStep& step : steps_)
    if (SetsCharset(step.Variables)) statements.push_back(step.Statement);
  return statements;
}

void TSessionState::ForgetCharsetSteps() {
  std::erase_if(steps_, [](const TRestoreStep& step) {
    return !step.Variables.empty() &&
           std::all_of(step.Variables.begin(), step.Variables.end(),
                       [](const std::string& name) { return IsCharsetVariable(name); });
  });
}

void TSessionState::ResetForNewUser() {
  std::erase_if(steps_, [](const TRestoreStep& step) { return !SetsCharset(step.Variables); });
  database_.reset();
  holdings_ = 0;
}

void TSessionState::Clear() {
  steps_.clear();
  database_.reset();
  holdings_ = 0;
}

}  // namespace mysql
