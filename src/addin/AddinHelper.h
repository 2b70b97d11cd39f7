// The member table of an add-in object: numbered properties and methods with
// English and local names, and the handlers that serve them. One table is
// shared by every object of a class; each request carries the calling object
// as Sender, so handlers act on that object's state only.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/OleVariant.h"
#include "platform/codepage.h"
#include "platform/com.h"

namespace addin {

class TAddin;

// Every failure raised by the bridge and by handlers that have no more
// specific error type. The message is 8-bit text in the ANSI code page; the
// COM entry points catch it (and any other exception) and hand the message
// to the host's error log unchanged.
class TAddinError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using TOleString = platform::TOleString;
using TParams = std::vector<platform::TOleVariant>;

// Handlers of one table entry.
using TOnGetPropertyEvent = std::function<void(TAddin& Sender, platform::TOleVariant& Value)>;
using TOnSetPropertyEvent = std::function<void(TAddin& Sender, platform::TOleVariant& Value)>;
using TOnGetDefaultParamEvent =
    std::function<void(TAddin& Sender, int32_t Index, platform::TOleVariant& Value)>;
using TOnCallAsProcEvent = std::function<void(TAddin& Sender, TParams& Params)>;
using TOnCallAsFuncEvent =
    std::function<void(TAddin& Sender, TParams& Params, platform::TOleVariant& Value)>;

// Table-level events for members beyond the table.
using TOnGetUnknownPropertyEvent = std::function<void(
    TAddin& Sender, const std::string& PropertyName, platform::TOleVariant& Value, bool& Handled)>;
using TOnSetUnknownPropertyEvent = std::function<void(
    TAddin& Sender, const std::string& PropertyName, platform::TOleVariant& Value, bool& Handled)>;
using TOnHasUnknownReturnValueEvent = std::function<void(
    TAddin& Sender, const std::string& MethodName, bool& HasRetValue, bool& Handled)>;
using TOnGetUnknownParamsCountEvent = std::function<void(
    TAddin& Sender, const std::string& MethodName, int32_t& Count, bool& Handled)>;
using TOnGetUnknownDefaultParamEvent =
    std::function<void(TAddin& Sender, const std::string& MethodName, int32_t Index,
                       platform::TOleVariant& Value, bool& Handled)>;
using TOnCallAsUnknownProcEvent = std::function<void(TAddin& Sender, const std::string& MethodName,
                                                     TParams& Params, bool& Handled)>;
using TOnCallAsUnknownFuncEvent =
    std::function<void(TAddin& Sender, const std::string& MethodName, TParams& Params,
                       platform::TOleVariant& Value, bool& Handled)>;
using TOnFindMemberEvent =
    std::function<void(TAddin& Sender, const std::string& Name, int32_t& Index)>;
using TOnGetMemberNameEvent =
    std::function<void(TAddin& Sender, TOleString& Name, int32_t Index, int32_t Alias)>;
using TOnGetMemberCountEvent = std::function<void(TAddin& Sender, int32_t& Count)>;
using TOnIsPropertyFlagEvent =
    std::function<void(TAddin& Sender, const std::string& PropertyName, bool& Flag)>;

// The local (Russian) names are held in UTF-16, so they match and read back
// whatever the process's ANSI code page is.
struct TPropertiesItem {
  TOleString AlternativeName;
  std::string Name;
  bool IsReadable = false;
  bool IsWriteable = false;
  TOnGetPropertyEvent OnGet;
  TOnSetPropertyEvent OnSet;
};

struct TMethodsItem {
  TOleString AlternativeName;
  std::string Name;
  int32_t ParamsCount = 0;
  bool ReturnValue = false;
  TOnGetDefaultParamEvent OnGetDefaultParam;
  TOnCallAsProcEvent OnCallAsProc;
  TOnCallAsFuncEvent OnCallAsFunc;
};

class TAddinHelper {
 public:
  std::string ExtensionName;
  std::vector<TPropertiesItem> Properties;
  std::vector<TMethodsItem> Methods;

  TOnGetUnknownPropertyEvent OnGetProperty;
  TOnSetUnknownPropertyEvent OnSetProperty;
  TOnHasUnknownReturnValueEvent OnHasReturnValue;
  TOnGetUnknownParamsCountEvent OnGetParamsCount;
  TOnGetUnknownDefaultParamEvent OnGetDefaultParam;
  TOnCallAsUnknownProcEvent OnCallAsProc;
  TOnCallAsUnknownFuncEvent OnCallAsFunc;
  TOnFindMemberEvent OnFindProperty;
  TOnFindMemberEvent OnFindMethod;
  TOnGetMemberNameEvent OnGetPropertyName;
  TOnGetMemberNameEvent OnGetMethodName;
  TOnGetMemberCountEvent OnGetPropertyCount;
  TOnGetMemberCountEvent OnGetMethodCount;
  TOnIsPropertyFlagEvent OnIsPropertyReadable;
  TOnIsPropertyFlagEvent OnIsPropertyWriteable;

  // Exact, case-sensitive match against Name, then AlternativeName, compared
  // as UTF-16; -1 if none.
  int32_t IndexOfProperty(platform::TOleStringView Name) const;
  int32_t IndexOfMethod(platform::TOleStringView Name) const;

  // One operation per host request. Numbers outside the table address the
  // members the table-level events provide (Index = number - count). The
  // find events get the name in the ANSI code page, and only when the code
  // page can hold it: a name turned into '?' must not find another member.
  int32_t FindProperty(TAddin& Sender, platform::TOleStringView Name) const;
  int32_t FindMethod(TAddin& Sender, platform::TOleStringView Name) const;
  int32_t GetPropertyCount(TAddin& Sender) const;
  int32_t GetMethodCount(TAddin& Sender) const;
  TOleString GetPropertyName(TAddin& Sender, int32_t Number, int32_t Alias) const;
  TOleString GetMethodName(TAddin& Sender, int32_t Number, int32_t Alias) const;
  void GetProperty(TAddin& Sender, int32_t Number, platform::TOleVariant& Value) const;
  void SetProperty(TAddin& Sender, int32_t Number, platform::TOleVariant& Value) const;
  bool IsPropertyReadable(TAddin& Sender, int32_t Number) const;
  bool IsPropertyWriteable(TAddin& Sender, int32_t Number) const;
  int32_t GetParamsCount(TAddin& Sender, int32_t Number) const;
  bool HasReturnValue(TAddin& Sender, int32_t Number) const;
  void GetDefaultParam(TAddin& Sender, int32_t Number, int32_t ParamIndex,
                       platform::TOleVariant& Value) const;
  void CallAsProc(TAddin& Sender, int32_t Number, TParams& Params) const;
  void CallAsFunc(TAddin& Sender, int32_t Number, TParams& Params,
                  platform::TOleVariant& Value) const;

 private:
  const TPropertiesItem* PropertyAt(int32_t Number) const;
  const TMethodsItem* MethodAt(int32_t Number) const;
  // The name of a member beyond the table, through the name event; empty
  // when the event is unset or gives none. Sets HasNameEvent accordingly.
  std::string UnknownPropertyName(TAddin& Sender, int32_t Number, bool& HasNameEvent) const;
  std::string UnknownMethodName(TAddin& Sender, int32_t Number, bool& HasNameEvent) const;
  // A property's readable or writeable flag: the table's, or beyond the table
  // what Event answers for the member's name.
  bool PropertyFlag(TAddin& Sender, int32_t Number, bool TPropertiesItem::*Flag,
                    const TOnIsPropertyFlagEvent& Event) const;
  // Raises "<Subject> <ExtensionName>.<MemberName> not handled!".
  [[noreturn]] void Fail(const char* Subject, const std::string& MemberName) const;
};

}  // namespace addin
