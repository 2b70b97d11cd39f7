#include "mysql/uMysqlStatementEffects.h"

#include <array>

#include "mysql/uMysqlStatementScanner.h"

namespace mysql {

namespace {

constexpr std::array<std::string_view, 4> kCharsetVariables = {
    "character_set_client", "character_set_connection", "character_set_results",
    "collation_connection"};

struct THoldingName {
  std::uint32_t Bit;
  std::string_view Name;
};

constexpr std::array<THoldingName, 8> kHoldingNames = {{
    {HoldsTemporaryTables, "temporary tables"},
    {HoldsUserVariables, "user variables"},
    {HoldsNamedLocks, "named locks"},
    {HoldsTableLocks, "table locks"},
    {HoldsPreparedStatements, "prepared statements"},
    {HoldsNextTransaction, "the settings of the next transaction"},
    {HoldsInsertId, "the last insert id"},
    {HoldsOtherState, "other session state"},
}};

// A name as written: a word, or a backquoted name with its quotes taken off.
std::string NameOf(const TToken& token) {
  if (!token.Is(TTokenKind::Identifier) || token.Text.size() < 2) return std::string(token.Text);
  std::string name;
  const std::string_view body = token.Text.substr(1, token.Text.size() - 2);
  for (std::size_t i = 0; i < body.size(); ++i) {
    name += body[i];
    if (body[i] == '`' && i + 1 < body.size() && body[i + 1] == '`') ++i;
  }
  return name;
}

enum class TScope : std::uint8_t { Session, Global };

bool IsGlobalScopeWord(std::string_view upper) {
  return upper == "GLOBAL" || upper == "PERSIST" || upper == "PERSIST_ONLY";
}

bool IsSessionScopeWord(std::string_view upper) {
  return upper == "SESSION" || upper == "LOCAL";
}

// Reads the items of SET (after the keyword) into `effects`.
class TSetReader {
 public:
  TSetReader(std::string_view statement, TStatementScanner scanner, TStatementEffects& effects)
      : statement_(statement), scanner_(scanner), effects_(effects) {}

  void Read() {
    for (;;) {
      if (!ReadItem()) return;
      if (!SkipToNextItem()) break;
    }
    Finish();
  }

 private:
  // False when the statement turned out to be another one (SET STATEMENT ... FOR).
  bool ReadItem() {
    TToken token = scanner_.Next();
    bool scoped = false;
    const std::string first = UpperCase(token.Text);
    if (token.Is(TTokenKind::Word) && (IsGlobalScopeWord(first) || IsSessionScopeWord(first))) {
      scope_ = IsGlobalScopeWord(first) ? TScope::Global : TScope::Session;
      scoped = true;
      token = scanner_.Next();
    }
    if (token.Is(TTokenKind::UserVariable)) {
      userVariables_ = true;
    } else if (token.Is(TTokenKind::SystemVariable)) {
      ReadSystemVariable(token.Text);
    } else if (token.Is(TTokenKind::Identifier)) {
      AddVariable(LowerCase(NameOf(token)));
    } else if (token.Is(TTokenKind::Word)) {
      return ReadWordItem(UpperCase(token.Text), token, scoped);
    }
    return true;
  }

  bool ReadWordItem(const std::string& word, const TToken& token, bool scoped) {
    if (word == "NAMES" || word == "CHARSET" || word == "CHARACTER") {
      for (const std::string_view name : kCharsetVariables) AddVariable(std::string(name));
    } else if (word == "TRANSACTION") {
      if (!scoped) {
        nextTransaction_ = true;
      } else {
        AddVariable("transaction");
      }
    } else if (word == "ROLE") {
      AddVariable("role");
    } else if (word == "PASSWORD" || word == "DEFAULT") {
      other_ = true;
    } else if (word == "STATEMENT") {
      ReadStatementFor();
      return false;
    } else {
      AddVariable(LowerCase(token.Text));
    }
    return true;
  }

  // @@name, @@session.name, @@global.name.
  void ReadSystemVariable(std::string_view text) {
    std::string_view rest = text.substr(2);
    TScope scope = scope_;
    if (const std::size_t dot = rest.find('.'); dot != std::string_view::npos) {
      const std::string prefix = UpperCase(rest.substr(0, dot));
      if (IsGlobalScopeWord(prefix)) scope = TScope::Global;
      if (IsSessionScopeWord(prefix)) scope = TScope::Session;
      rest = rest.substr(dot + 1);
    }
    const TScope outer = std::exchange(scope_, scope);
    AddVariable(LowerCase(rest));
    scope_ = outer;
  }

  void AddVariable(std::string name) {
    if (scope_ == TScope::Global) {
      global_ = true;
      return;
    }
    if (name.size() >= 2 && name.front() == '`') name = name.substr(1, name.size() - 2);
    if (name.starts_with("session_track_")) effects_.ChangesSessionTracking = true;
    effects_.SetVariables.push_back(std::move(name));
  }

  // SET STATEMENT var = value [, ...] FOR statement: the session keeps none of
  // the settings; what is left behind is the inner statement's doing.
  void ReadStatementFor() {
    int depth = 0;
    for (TToken token = scanner_.Next(); !token.Is(TTokenKind::End); token = scanner_.Next()) {
      if (token.IsSymbol("(")) ++depth;
      if (token.IsSymbol(")")) --depth;
      if (depth == 0 && token.IsKeyword("FOR")) {
        effects_ = ReadStatementEffects(statement_.substr(scanner_.Position()));
        return;
      }
    }
  }

  bool SkipToNextItem() {
    int depth = 0;
    for (TToken token = scanner_.Next(); !token.Is(TTokenKind::End); token = scanner_.Next()) {
      if (token.IsSymbol("(")) ++depth;
      if (token.IsSymbol(")")) --depth;
      if (depth <= 0 && token.IsSymbol(",")) return true;
    }
    return false;
  }

  void Finish() {
    effects_.ExplainsStateChange = true;
    if (userVariables_) effects_.Holdings |= HoldsUserVariables;
    if (nextTransaction_) effects_.Holdings |= HoldsNextTransaction;
    if (effects_.SetVariables.empty()) return;
    // Session settings mixed with global ones cannot be repeated on their own.
    if (global_ || other_) {
      effects_.Holdings |= HoldsOtherState;
      effects_.SetVariables.clear();
      return;
    }
    effects_.RepeatableSet = true;
  }

  std::string_view statement_;
  TStatementScanner scanner_;
  TStatementEffects& effects_;
  TScope scope_ = TScope::Session;
  bool userVariables_ = false;
  bool nextTransaction_ = false;
  bool global_ = false;
  bool other_ = false;
};

// What the first words of a statement say.
void ReadLeadingWords(std::string_view statement, TStatementEffects& effects) {
  TStatementScanner scanner(statement, true);
  const std::string first = UpperCase(scanner.Next().Text);
  if (first == "SET") {
    TSetReader(statement, scanner, effects).Read();
    return;
  }
  if (first == "USE") {
    const TToken name = scanner.Next();
    if (name.Is(TTokenKind::Word) || name.Is(TTokenKind::Identifier))
      effects.UsedDatabase = NameOf(name);
    effects.ExplainsStateChange = true;
    return;
  }
  const TToken second = scanner.Next();
  if (first == "CREATE") {
    // CREATE [OR REPLACE] TEMPORARY TABLE
    TToken word = second;
    if (word.IsKeyword("OR")) {
      scanner.Next();
      word = scanner.Next();
    }
    if (word.IsKeyword("TEMPORARY")) {
      effects.Holdings |= HoldsTemporaryTables;
      effects.ExplainsStateChange = true;
    }
  } else if (first == "DROP") {
    effects.ExplainsStateChange = second.IsKeyword("TEMPORARY") || second.IsKeyword("PREPARE");
  } else if (first == "LOCK") {
    effects.Holdings |= HoldsTableLocks;
    effects.ExplainsStateChange = true;
  } else if (first == "UNLOCK") {
    effects.UnlocksTables = second.IsKeyword("TABLES") || second.IsKeyword("TABLE");
    effects.ExplainsStateChange = true;
  } else if (first == "FLUSH") {
    // FLUSH TABLES ... WITH READ LOCK holds a lock until UNLOCK TABLES.
    for (TToken token = second; !token.Is(TTokenKind::End); token = scanner.Next()) {
      if (token.IsKeyword("LOCK")) {
        effects.Holdings |= HoldsTableLocks;
        effects.ExplainsStateChange = true;
      }
    }
  } else if (first == "PREPARE") {
    effects.Holdings |= HoldsPreparedStatements;
    effects.ExplainsStateChange = true;
  } else if (first == "DEALLOCATE") {
    effects.ExplainsStateChange = true;
  }
}

// What the rest of a statement says wherever it says it: user variables
// assigned (":=", INTO @a, @b, the arguments of CALL), named locks taken, the
// last insert id read or set.
void ReadAllTokens(std::string_view statement, TStatementEffects& effects) {
  TStatementScanner scanner(statement, true);
  TToken token = scanner.Next();
  const bool call = token.IsKeyword("CALL");
  bool intoList = false;
  while (!token.Is(TTokenKind::End)) {
    const TToken next = scanner.Next();
    if (token.Is(TTokenKind::UserVariable)) {
      if (next.IsSymbol(":=") || intoList || call) {
        effects.Holdings |= HoldsUserVariables;
        effects.ExplainsStateChange = true;
      }
    } else if (token.Is(TTokenKind::SystemVariable)) {
      const std::string name = LowerCase(token.Text);
      if (name.ends_with("identity") || name.ends_with("last_insert_id"))
        effects.ReadsInsertId = true;
    } else if (token.IsKeyword("GET_LOCK") && next.IsSymbol("(")) {
      effects.Holdings |= HoldsNamedLocks;
    } else if (token.IsKeyword("LAST_INSERT_ID")) {
      effects.ReadsInsertId = true;
      if (next.IsSymbol("(")) {
        TStatementScanner ahead = scanner;
        if (!ahead.Next().IsSymbol(")")) effects.Holdings |= HoldsInsertId;
      }
    }
    if (token.IsKeyword("INTO")) {
      intoList = true;
    } else if (!token.Is(TTokenKind::UserVariable) && !token.IsSymbol(",")) {
      intoList = false;
    }
    token = next;
  }
}

}  // namespace

std::string DescribeHoldings(std::uint32_t bits) {
  std::string text;
  for (const THoldingName& holding : kHoldingNames) {
    if ((bits & holding.Bit) == 0) continue;
    if (!text.empty()) text += ", ";
    text += holding.Name;
  }
  return text;
}

bool IsCharsetVariable(std::string_view lowerCaseName) {
  for (const std::string_view name : kCharsetVariables)
    if (name == lowerCaseName) return true;
  return false;
}

TStatementEffects ReadStatementEffects(std::string_view statement) {
  TStatementEffects effects;
  ReadLeadingWords(statement, effects);
  ReadAllTokens(statement, effects);
  return effects;
}

}  // namespace mysql
