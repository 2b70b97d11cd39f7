// Runs parsed statements against a host session. Calls on objects go
// late-bound through IDispatch, as the host's language makes them: a
// property read as a property get, EXPR.MEMBER(ARGS) in an expression as a
// method call whose result is used, as a statement as one whose result is
// dropped. A plain variable given as an argument is passed by reference and
// receives what the callee writes back.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/Host.h"
#include "host/ScriptParser.h"

namespace host {

class TScriptRunner {
 public:
  TScriptRunner(THost& host, TOutput output) : host_(host), output_(std::move(output)) {}

  // Throws TScriptError at the first statement that fails.
  void Run(const std::vector<TStatement>& statements);

 private:
  void Execute(const TStatement& statement);
  platform::TOleVariant Evaluate(const TExpr& expr, int line);
  platform::TOleVariant& VariableRef(const std::string& name, int line);
  // Invokes a member on the object the expression gives.
  platform::TOleVariant Invoke(const TExpr& objectExpr, const std::string& member, WORD flags,
                               const std::vector<TExprPtr>* args, const TExpr* putValue,
                               bool wantResult, int line);
  void Dump(const platform::TOleVariant& value, int line);

  THost& host_;
  TOutput output_;
  std::map<std::string, platform::TOleVariant> variables_;
};

}  // namespace host
