#include "host/Application.h"

#include "host/Utf8.h"

namespace host {

namespace {
enum TApplicationMember : DISPID { EvalExpr = 1, CreateObject };

platform::TOleString Trimmed(const platform::TOleString& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
  while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
  return text.substr(first, last - first);
}

// The class name of `CreateObject("name")` (or the Russian spelling), or
// nothing when the text has another form.
bool CreationTarget(const platform::TOleString& text, platform::TOleString& name) {
  for (const char* function : {"CreateObject(\"", "СоздатьОбъект(\""}) {
    const platform::TOleString prefix = Utf16FromUtf8(function);
    const platform::TOleString suffix = Utf16FromUtf8("\")");
    if (text.size() > prefix.size() + suffix.size() && text.starts_with(prefix) &&
        text.ends_with(suffix)) {
      name = text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
      return name.find(OLECHAR('"')) == platform::TOleString::npos;
    }
  }
  return false;
}
}  // namespace

DISPID TApplication::MemberId(const platform::TOleString& name) {
  if (dialect_ == TDialect::Expression) return FindMemberName({"EvalExpr", "CreateObject"}, name);
  // NewObject is the object dialect's CreateObject.
  if (FindMemberName({"NewObject"}, name) == DISPID_UNKNOWN) return DISPID_UNKNOWN;
  return CreateObject;
}

void TApplication::Call(DISPID member, WORD flags, const TCallArgs& args,
                        platform::TOleVariant* result) {
  if (flags & DISPATCH_PROPERTYPUT) throw TMemberNotFound("the application has no properties");
  args.RequireAtMost(1, member == EvalExpr ? "EvalExpr" : "CreateObject");
  platform::TOleVariant value =
      member == EvalExpr ? Evaluate(ArgText(args, 0)) : create_(ArgText(args, 0));
  if (result) *result = std::move(value);
}

platform::TOleVariant TApplication::Evaluate(const platform::TOleString& expression) {
  const platform::TOleString text = Trimmed(expression);
  if (text == Utf16FromUtf8("1-1")) return platform::TOleVariant(0);
  platform::TOleString name;
  if (CreationTarget(text, name)) return create_(name);
  throw THostError("EvalExpr cannot evaluate " + Utf8FromUtf16(text));
}

}  // namespace host
