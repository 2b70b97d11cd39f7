// The runner's script language, one statement a line:
//   NAME = EXPR            EXPR.MEMBER = EXPR        EXPR.MEMBER(ARGS)
//   print(EXPR)            dump(EXPR)                echo "text"
// Expressions: "text" (a doubled quote is one quote), integers with an
// optional minus sign, decimals with a point, Null, Empty, variables,
// EXPR.MEMBER, EXPR.MEMBER(ARGS), CreateObject("...") (or СоздатьОбъект).
// An empty argument position is an omitted argument. "#" starts a comment
// line; a trailing ";" is ignored. Text is UTF-8.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/com/OleVariant.h"

namespace host {

// A fault in the script, reported as "error: line N: why".
class TScriptError : public std::runtime_error {
 public:
  TScriptError(int line, const std::string& why) : std::runtime_error(why), Line(line) {}
  int Line;
};

struct TExpr;
using TExprPtr = std::unique_ptr<TExpr>;

struct TExpr {
  enum class TKind { Literal, Variable, Member, Call, Create };
  TKind Kind = TKind::Literal;
  platform::TOleVariant Literal;  // Literal
  std::string Name;               // Variable, Member, Call: the name
  TExprPtr Object;                // Member, Call: whose member; Create: the class name
  std::vector<TExprPtr> Args;     // Call: null for an omitted position
};

struct TStatement {
  enum class TKind { Assign, Put, Call, Print, Dump, Echo };
  TKind Kind = TKind::Echo;
  int Line = 0;
  std::string Name;  // Assign: the variable; Put: the property
  TExprPtr Target;   // Put: the object; Call: the call; Print, Dump: the value
  TExprPtr Value;    // Assign, Put: the new value
  std::string Text;  // Echo
};

// Parses a whole script. Throws TScriptError at the first faulty line.
std::vector<TStatement> ParseScript(const std::string& text);

}  // namespace host
