#include "addin/AddinHelper.h"

#include "platform/os/CodePage.h"

namespace addin {

std::string NameForMessage(std::string_view name) {
  constexpr std::size_t kLongestWhole = 64;
  if (name.size() <= kLongestWhole) return std::string(name);
  return std::string(name.substr(0, kLongestWhole)) + "...";
}

namespace {

template <class Items>
std::int32_t IndexOfName(const Items& list, platform::TOleStringView name) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (platform::FromAnsi(list[i].Name) == name || list[i].AlternativeName == name)
      return static_cast<std::int32_t>(i);
  }
  return -1;
}

// A member beyond the table, found by the table-level event; -1 when the
// event is unset, finds nothing, or the name has no ANSI form.
std::int32_t IndexBeyondByName(TAddin& sender, const TOnFindMemberEvent& event,
                               platform::TOleStringView name) {
  std::int32_t index = -1;
  if (!event) return index;
  if (const std::optional<std::string> ansi = platform::ToAnsiExactly(name))
    event(sender, *ansi, index);
  return index;
}

template <class Items>
const typename Items::value_type* ItemAt(const Items& list, std::int32_t number) {
  if (number < 0 || static_cast<std::size_t>(number) >= list.size()) return nullptr;
  return &list[static_cast<std::size_t>(number)];
}

// The index among the members beyond the table of a number the host gave.
// The host may pass any 32-bit number, so the difference wraps around
// instead of overflowing.
std::int32_t IndexBeyond(std::int32_t number, std::size_t count) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(number) -
                                   static_cast<std::uint32_t>(count));
}

// The number of the member an event found beyond the table; -1 when it found
// none or its index has no 32-bit number.
std::int32_t NumberBeyond(std::int32_t index, std::size_t count) {
  if (index < 0) return -1;
  const std::int64_t number = std::int64_t{index} + static_cast<std::int64_t>(count);
  return number <= INT32_MAX ? static_cast<std::int32_t>(number) : -1;
}

template <class Item>
TOleString NameOf(const Item& entry, std::int32_t alias) {
  return alias == 0 ? platform::FromAnsi(entry.Name) : entry.AlternativeName;
}

}  // namespace

std::int32_t TAddinHelper::IndexOfProperty(platform::TOleStringView name) const {
  return IndexOfName(Properties, name);
}

std::int32_t TAddinHelper::IndexOfMethod(platform::TOleStringView name) const {
  return IndexOfName(Methods, name);
}

const TPropertiesItem* TAddinHelper::PropertyAt(std::int32_t number) const {
  return ItemAt(Properties, number);
}

const TMethodsItem* TAddinHelper::MethodAt(std::int32_t number) const {
  return ItemAt(Methods, number);
}

std::int32_t TAddinHelper::FindProperty(TAddin& sender, platform::TOleStringView name) const {
  const std::int32_t index = IndexOfProperty(name);
  if (index >= 0) return index;
  return NumberBeyond(IndexBeyondByName(sender, OnFindProperty, name), Properties.size());
}

std::int32_t TAddinHelper::FindMethod(TAddin& sender, platform::TOleStringView name) const {
  const std::int32_t index = IndexOfMethod(name);
  if (index >= 0) return index;
  return NumberBeyond(IndexBeyondByName(sender, OnFindMethod, name), Methods.size());
}

std::int32_t TAddinHelper::GetPropertyCount(TAddin& sender) const {
  std::int32_t count = static_cast<std::int32_t>(Properties.size());
  if (OnGetPropertyCount) OnGetPropertyCount(sender, count);
  return count;
}

std::int32_t TAddinHelper::GetMethodCount(TAddin& sender) const {
  std::int32_t count = static_cast<std::int32_t>(Methods.size());
  if (OnGetMethodCount) OnGetMethodCount(sender, count);
  return count;
}

TOleString TAddinHelper::GetPropertyName(TAddin& sender, std::int32_t number,
                                         std::int32_t alias) const {
  if (const TPropertiesItem* entry = PropertyAt(number)) return NameOf(*entry, alias);
  TOleString name;
  if (OnGetPropertyName)
    OnGetPropertyName(sender, name, IndexBeyond(number, Properties.size()), alias);
  return name;
}

TOleString TAddinHelper::GetMethodName(TAddin& sender, std::int32_t number,
                                       std::int32_t alias) const {
  if (const TMethodsItem* entry = MethodAt(number)) return NameOf(*entry, alias);
  TOleString name;
  if (OnGetMethodName) OnGetMethodName(sender, name, IndexBeyond(number, Methods.size()), alias);
  return name;
}

std::string TAddinHelper::UnknownPropertyName(TAddin& sender, std::int32_t number,
                                              bool& hasNameEvent) const {
  hasNameEvent = static_cast<bool>(OnGetPropertyName);
  if (!hasNameEvent) return {};
  TOleString name;
  OnGetPropertyName(sender, name, IndexBeyond(number, Properties.size()), 0);
  return platform::ToAnsi(name);
}

std::string TAddinHelper::UnknownMethodName(TAddin& sender, std::int32_t number,
                                            bool& hasNameEvent) const {
  hasNameEvent = static_cast<bool>(OnGetMethodName);
  if (!hasNameEvent) return {};
  TOleString name;
  OnGetMethodName(sender, name, IndexBeyond(number, Methods.size()), 0);
  return platform::ToAnsi(name);
}

void TAddinHelper::Fail(const char* subject, const std::string& memberName) const {
  throw TAddinError(std::string(subject) + " " + ExtensionName + "." + NameForMessage(memberName) +
                    " not handled!");
}

namespace {
constexpr const char* kGetPropertyFailure = "Getting property";
constexpr const char* kSetPropertyFailure = "Setting property";
constexpr const char* kMethodFailure = "Method";
}  // namespace

void TAddinHelper::GetProperty(TAddin& sender, std::int32_t number,
                               platform::TOleVariant& value) const {
  if (const TPropertiesItem* entry = PropertyAt(number)) {
    if (entry->OnGet) entry->OnGet(sender, value);
    return;
  }
  bool hasName = false, handled = false;
  const std::string name = UnknownPropertyName(sender, number, hasName);
  if (hasName && OnGetProperty) OnGetProperty(sender, name, value, handled);
  if (!handled) Fail(kGetPropertyFailure, name);
}

void TAddinHelper::SetProperty(TAddin& sender, std::int32_t number,
                               platform::TOleVariant& value) const {
  if (const TPropertiesItem* entry = PropertyAt(number)) {
    if (entry->OnSet) entry->OnSet(sender, value);
    return;
  }
  bool hasName = false, handled = false;
  const std::string name = UnknownPropertyName(sender, number, hasName);
  if (hasName && OnSetProperty) OnSetProperty(sender, name, value, handled);
  if (!handled) Fail(kSetPropertyFailure, name);
}

bool TAddinHelper::PropertyFlag(TAddin& sender, std::int32_t number, bool TPropertiesItem::*flag,
                                const TOnIsPropertyFlagEvent& event) const {
  if (const TPropertiesItem* entry = PropertyAt(number)) return entry->*flag;
  // A member no event vouches for is neither readable nor writeable.
  bool hasName = false, answer = false;
  const std::string name = UnknownPropertyName(sender, number, hasName);
  if (event) event(sender, name, answer);
  return answer;
}

bool TAddinHelper::IsPropertyReadable(TAddin& sender, std::int32_t number) const {
  return PropertyFlag(sender, number, &TPropertiesItem::IsReadable, OnIsPropertyReadable);
}

bool TAddinHelper::IsPropertyWriteable(TAddin& sender, std::int32_t number) const {
  return PropertyFlag(sender, number, &TPropertiesItem::IsWriteable, OnIsPropertyWriteable);
}

std::int32_t TAddinHelper::GetParamsCount(TAddin& sender, std::int32_t number) const {
  if (const TMethodsItem* entry = MethodAt(number)) return entry->ParamsCount;
  bool hasName = false, handled = false;
  std::int32_t count = 0;
  const std::string name = UnknownMethodName(sender, number, hasName);
  if (hasName && OnGetParamsCount) OnGetParamsCount(sender, name, count, handled);
  if (!handled) Fail(kMethodFailure, name);
  return count;
}

bool TAddinHelper::HasReturnValue(TAddin& sender, std::int32_t number) const {
  if (const TMethodsItem* entry = MethodAt(number)) return entry->ReturnValue;
  bool hasName = false, handled = false, hasRetValue = false;
  const std::string name = UnknownMethodName(sender, number, hasName);
  if (hasName && OnHasReturnValue) OnHasReturnValue(sender, name, hasRetValue, handled);
  if (!handled) Fail(kMethodFailure, name);
  return hasRetValue;
}

void TAddinHelper::GetDefaultParam(TAddin& sender, std::int32_t number, std::int32_t paramIndex,
                                   platform::TOleVariant& value) const {
  if (const TMethodsItem* entry = MethodAt(number)) {
    if (entry->OnGetDefaultParam) entry->OnGetDefaultParam(sender, paramIndex, value);
    return;
  }
  bool hasName = false, handled = false;
  const std::string name = UnknownMethodName(sender, number, hasName);
  if (hasName && OnGetDefaultParam) OnGetDefaultParam(sender, name, paramIndex, value, handled);
  if (!handled) Fail(kMethodFailure, name);
}

void TAddinHelper::CallAsProc(TAddin& sender, std::int32_t number, TParams& params) const {
  if (const TMethodsItem* entry = MethodAt(number)) {
    if (entry->OnCallAsProc) entry->OnCallAsProc(sender, params);
    return;
  }
  bool hasName = false, handled = false;
  const std::string name = UnknownMethodName(sender, number, hasName);
  if (hasName && OnCallAsProc) OnCallAsProc(sender, name, params, handled);
  if (!handled) Fail(kMethodFailure, name);
}

void TAddinHelper::CallAsFunc(TAddin& sender, std::int32_t number, TParams& params,
                              platform::TOleVariant& value) const {
  if (const TMethodsItem* entry = MethodAt(number)) {
    if (entry->OnCallAsFunc) entry->OnCallAsFunc(sender, params, value);
    return;
  }
  bool hasName = false, handled = false;
  const std::string name = UnknownMethodName(sender, number, hasName);
  if (hasName && OnCallAsFunc) OnCallAsFunc(sender, name, params, value, handled);
  if (!handled) Fail(kMethodFailure, name);
}

}  // namespace addin
