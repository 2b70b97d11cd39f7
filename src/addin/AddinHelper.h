// The member table of an add-in object: numbered properties and methods with
// English and local names, and the handlers that serve them. One table is
// shared by every object of a class; each request carries the calling object
// as Sender, so handlers act on that object's state only.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "addin/AddinEvent.h"
#include "platform/com/Com.h"
#include "platform/com/OleVariant.h"
#include "platform/os/CodePage.h"

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

// A name (a field reference, a member name) as error messages quote it: a
// name up to 64 characters whole, a longer one cut there and marked "...",
// so that a name of any size leaves a message a reader can take in.
std::string NameForMessage(std::string_view name);

using TOleString = platform::TOleString;
using TParams = std::vector<platform::TOleVariant>;

// Handlers of one table entry.
using TOnGetPropertyEvent = TAddinEvent<void(TAddin& sender, platform::TOleVariant& value)>;
using TOnSetPropertyEvent = TAddinEvent<void(TAddin& sender, platform::TOleVariant& value)>;
using TOnGetDefaultParamEvent =
    TAddinEvent<void(TAddin& sender, std::int32_t index, platform::TOleVariant& value)>;
using TOnCallAsProcEvent = TAddinEvent<void(TAddin& sender, TParams& params)>;
using TOnCallAsFuncEvent =
    TAddinEvent<void(TAddin& sender, TParams& params, platform::TOleVariant& value)>;

// Table-level events for members beyond the table.
using TOnGetUnknownPropertyEvent = TAddinEvent<void(TAddin& sender, const std::string& propertyName,
                                                    platform::TOleVariant& value, bool& handled)>;
using TOnSetUnknownPropertyEvent = TAddinEvent<void(TAddin& sender, const std::string& propertyName,
                                                    platform::TOleVariant& value, bool& handled)>;
using TOnHasUnknownReturnValueEvent = TAddinEvent<void(
    TAddin& sender, const std::string& methodName, bool& hasRetValue, bool& handled)>;
using TOnGetUnknownParamsCountEvent = TAddinEvent<void(
    TAddin& sender, const std::string& methodName, std::int32_t& count, bool& handled)>;
using TOnGetUnknownDefaultParamEvent =
    TAddinEvent<void(TAddin& sender, const std::string& methodName, std::int32_t index,
                     platform::TOleVariant& value, bool& handled)>;
using TOnCallAsUnknownProcEvent = TAddinEvent<void(TAddin& sender, const std::string& methodName,
                                                   TParams& params, bool& handled)>;
using TOnCallAsUnknownFuncEvent =
    TAddinEvent<void(TAddin& sender, const std::string& methodName, TParams& params,
                     platform::TOleVariant& value, bool& handled)>;
using TOnFindMemberEvent =
    TAddinEvent<void(TAddin& sender, const std::string& name, std::int32_t& index)>;
using TOnGetMemberNameEvent =
    TAddinEvent<void(TAddin& sender, TOleString& name, std::int32_t index, std::int32_t alias)>;
using TOnGetMemberCountEvent = TAddinEvent<void(TAddin& sender, std::int32_t& count)>;
using TOnIsPropertyFlagEvent =
    TAddinEvent<void(TAddin& sender, const std::string& propertyName, bool& flag)>;

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
  std::int32_t ParamsCount = 0;
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
  std::int32_t IndexOfProperty(platform::TOleStringView name) const;
  std::int32_t IndexOfMethod(platform::TOleStringView name) const;

  // One operation per host request. Numbers outside the table address the
  // members the table-level events provide (Index = number - count). The
  // find events get the name in the ANSI code page, and only when the code
  // page can hold it: a name turned into '?' must not find another member.
  std::int32_t FindProperty(TAddin& sender, platform::TOleStringView name) const;
  std::int32_t FindMethod(TAddin& sender, platform::TOleStringView name) const;
  std::int32_t GetPropertyCount(TAddin& sender) const;
  std::int32_t GetMethodCount(TAddin& sender) const;
  TOleString GetPropertyName(TAddin& sender, std::int32_t number, std::int32_t alias) const;
  TOleString GetMethodName(TAddin& sender, std::int32_t number, std::int32_t alias) const;
  void GetProperty(TAddin& sender, std::int32_t number, platform::TOleVariant& value) const;
  void SetProperty(TAddin& sender, std::int32_t number, platform::TOleVariant& value) const;
  bool IsPropertyReadable(TAddin& sender, std::int32_t number) const;
  bool IsPropertyWriteable(TAddin& sender, std::int32_t number) const;
  std::int32_t GetParamsCount(TAddin& sender, std::int32_t number) const;
  bool HasReturnValue(TAddin& sender, std::int32_t number) const;
  void GetDefaultParam(TAddin& sender, std::int32_t number, std::int32_t paramIndex,
                       platform::TOleVariant& value) const;
  void CallAsProc(TAddin& sender, std::int32_t number, TParams& params) const;
  void CallAsFunc(TAddin& sender, std::int32_t number, TParams& params,
                  platform::TOleVariant& value) const;

 private:
  const TPropertiesItem* PropertyAt(std::int32_t number) const;
  const TMethodsItem* MethodAt(std::int32_t number) const;
  // The name of a member beyond the table, through the name event; empty
  // when the event is unset or gives none. Sets HasNameEvent accordingly.
  std::string UnknownPropertyName(TAddin& sender, std::int32_t number, bool& hasNameEvent) const;
  std::string UnknownMethodName(TAddin& sender, std::int32_t number, bool& hasNameEvent) const;
  // A property's readable or writeable flag: the table's, or beyond the table
  // what Event answers for the member's name.
  bool PropertyFlag(TAddin& sender, std::int32_t number, bool TPropertiesItem::*flag,
                    const TOnIsPropertyFlagEvent& event) const;
  // Raises "<Subject> <ExtensionName>.<MemberName> not handled!".
  [[noreturn]] void Fail(const char* subject, const std::string& memberName) const;
};

}  // namespace addin
