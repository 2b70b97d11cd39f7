#include "host/ScriptRunner.h"

#include "host/Utf8.h"
#include "host/ValueList.h"
#include "host/ValueTable.h"
#include "host/ValueText.h"
#include "platform/com/DispatchCall.h"

namespace host {

namespace {

std::string TypeNameOf(IDispatch* object) {
  THostObject* hosted = THostObject::From(object);
  return hosted ? hosted->TypeName() : "object";
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? separator : "") + parts[i];
  return out;
}

}  // namespace

void TScriptRunner::Run(const std::vector<TStatement>& statements) {
  for (const TStatement& statement : statements) Execute(statement);
}

void TScriptRunner::Execute(const TStatement& statement) {
  const int line = statement.Line;
  switch (statement.Kind) {
    case TStatement::TKind::Echo:
      output_(statement.Text);
      return;
    case TStatement::TKind::Print:
      output_(DescribeValue(Evaluate(*statement.Target, line)));
      return;
    case TStatement::TKind::Dump:
      Dump(Evaluate(*statement.Target, line), line);
      return;
    case TStatement::TKind::Assign: {
      // Evaluated first: the old value stays alive during the evaluation.
      platform::TOleVariant value = Evaluate(*statement.Value, line);
      variables_[statement.Name] = std::move(value);
      return;
    }
    case TStatement::TKind::Put:
      Invoke(*statement.Target, statement.Name, DISPATCH_PROPERTYPUT, nullptr,
             statement.Value.get(), false, line);
      return;
    case TStatement::TKind::Call:
      Invoke(*statement.Target->Object, statement.Target->Name, DISPATCH_METHOD,
             &statement.Target->Args, nullptr, false, line);
      return;
  }
}

platform::TOleVariant& TScriptRunner::VariableRef(const std::string& name, int line) {
  const auto found = variables_.find(name);
  if (found == variables_.end()) throw TScriptError(line, "unknown variable " + name);
  return found->second;
}

platform::TOleVariant TScriptRunner::Evaluate(const TExpr& expr, int line) {
  switch (expr.Kind) {
    case TExpr::TKind::Literal:
      return expr.Literal;
    case TExpr::TKind::Variable:
      return VariableRef(expr.Name, line);
    case TExpr::TKind::Member:
      return Invoke(*expr.Object, expr.Name, DISPATCH_PROPERTYGET, nullptr, nullptr, true, line);
    case TExpr::TKind::Call:
      return Invoke(*expr.Object, expr.Name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &expr.Args,
                    nullptr, true, line);
    case TExpr::TKind::Create: {
      const platform::TOleVariant name = Evaluate(*expr.Object, line);
      try {
        return host_.CreateObject(name.ToWide());
      } catch (const std::exception& error) {
        throw TScriptError(line, error.what());
      }
    }
  }
  throw TScriptError(line, "unknown expression");
}

platform::TOleVariant TScriptRunner::Invoke(const TExpr& objectExpr, const std::string& member,
                                            WORD flags, const std::vector<TExprPtr>* args,
                                            const TExpr* putValue, bool wantResult, int line) {
  const platform::TOleVariant object = Evaluate(objectExpr, line);
  if (!object.IsDispatch() || !object.ToDispatch())
    throw TScriptError(line, DescribeValue(object) + " has no members (." + member + ")");
  IDispatch* target = object.ToDispatch();
  const std::string typeName = TypeNameOf(target);

  DISPID id = DISPID_UNKNOWN;
  if (FAILED(platform::DispatchIdOf(target, Utf16FromUtf8(member), id)))
    throw TScriptError(line, typeName + " has no member " + member);

  // Arguments in call order; plain variables go by reference.
  std::vector<platform::TOleVariant> values;
  if (args) {
    for (const TExprPtr& arg : *args) {
      if (!arg)
        values.push_back(platform::TOleVariant::Omitted());
      else if (arg->Kind == TExpr::TKind::Variable)
        values.push_back(platform::TOleVariant::ReferenceTo(VariableRef(arg->Name, line)));
      else
        values.push_back(Evaluate(*arg, line));
    }
  }
  if (putValue) values.push_back(Evaluate(*putValue, line));

  platform::TOleVariant result;
  platform::TOleString wideDescription;
  const HRESULT hr = platform::InvokeDispatch(target, id, flags, values,
                                              wantResult ? &result : nullptr, wideDescription);
  if (FAILED(hr)) {
    const std::string description = Utf8FromUtf16(wideDescription);
    if (hr == DISP_E_MEMBERNOTFOUND)
      throw TScriptError(line, typeName + " has no " +
                                   (flags & DISPATCH_PROPERTYPUT ? "settable property "
                                    : flags & DISPATCH_METHOD    ? "method "
                                                                 : "property ") +
                                   member);
    throw TScriptError(line, typeName + "." + member + ": " +
                                 (description.empty() ? "failed (" + platform::HResultHex(hr) + ")"
                                                      : description));
  }
  return result;
}

void TScriptRunner::Dump(const platform::TOleVariant& value, int line) {
  THostObject* hosted = value.IsDispatch() ? THostObject::From(value.ToDispatch()) : nullptr;
  if (const auto* table = dynamic_cast<const TValueTable*>(hosted)) {
    const TTableData& data = table->Data();
    std::vector<std::string> columns;
    for (const TTableColumn& column : data.Columns) columns.push_back(Utf8FromUtf16(column.Name));
    output_(columns.empty() ? "columns:" : "columns: " + Joined(columns, " | "));
    for (std::size_t l = 0; l < data.Lines.size(); ++l) {
      std::vector<std::string> cells;
      for (std::size_t c = 0; c < data.Columns.size(); ++c)
        cells.push_back(c < data.Lines[l].size() ? DescribeValue(data.Lines[l][c]) : "EMPTY");
      std::string text = std::to_string(l + 1) + ":";
      if (!cells.empty()) text.append(" ").append(Joined(cells, " | "));
      output_(text);
    }
    return;
  }
  if (const auto* list = dynamic_cast<const TValueList*>(hosted)) {
    const auto& items = list->Items();
    for (std::size_t i = 0; i < items.size(); ++i)
      output_(std::to_string(i + 1) + ": " + Utf8FromUtf16(items[i].Presentation) + " = " +
              DescribeValue(items[i].Value));
    return;
  }
  throw TScriptError(line, "dump needs a ValueTable or a ValueList, not " + DescribeValue(value));
}

}  // namespace host
