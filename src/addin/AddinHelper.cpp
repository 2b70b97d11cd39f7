#include "addin/AddinHelper.h"

#include "platform/codepage.h"

namespace addin {

namespace {

template <class Items>
int32_t IndexOfName(const Items& List, platform::TOleStringView Name) {
  for (size_t i = 0; i < List.size(); ++i) {
    if (platform::FromAnsi(List[i].Name) == Name || List[i].AlternativeName == Name)
      return static_cast<int32_t>(i);
  }
  return -1;
}

// A member beyond the table, found by the table-level event; -1 when the
// event is unset, finds nothing, or the name has no ANSI form.
int32_t IndexBeyondByName(TAddin& Sender, const TOnFindMemberEvent& Event,
                          platform::TOleStringView Name) {
  int32_t Index = -1;
  if (!Event) return Index;
  if (const std::optional<std::string> Ansi = platform::ToAnsiExactly(Name))
    Event(Sender, *Ansi, Index);
  return Index;
}

template <class Items>
const typename Items::value_type* ItemAt(const Items& List, int32_t Number) {
  if (Number < 0 || static_cast<size_t>(Number) >= List.size()) return nullptr;
  return &List[static_cast<size_t>(Number)];
}

// The index among the members beyond the table of a number the host gave.
// The host may pass any 32-bit number, so the difference wraps around
// instead of overflowing.
int32_t IndexBeyond(int32_t Number, size_t Count) {
  return static_cast<int32_t>(static_cast<uint32_t>(Number) - static_cast<uint32_t>(Count));
}

// The number of the member an event found beyond the table; -1 when it found
// none or its index has no 32-bit number.
int32_t NumberBeyond(int32_t Index, size_t Count) {
  if (Index < 0) return -1;
  const int64_t Number = int64_t{Index} + static_cast<int64_t>(Count);
  return Number <= INT32_MAX ? static_cast<int32_t>(Number) : -1;
}

template <class Item>
TOleString NameOf(const Item& Entry, int32_t Alias) {
  return Alias == 0 ? platform::FromAnsi(Entry.Name) : Entry.AlternativeName;
}

}  // namespace

int32_t TAddinHelper::IndexOfProperty(platform::TOleStringView Name) const {
  return IndexOfName(Properties, Name);
}

int32_t TAddinHelper::IndexOfMethod(platform::TOleStringView Name) const {
  return IndexOfName(Methods, Name);
}

const TPropertiesItem* TAddinHelper::PropertyAt(int32_t Number) const {
  return ItemAt(Properties, Number);
}

const TMethodsItem* TAddinHelper::MethodAt(int32_t Number) const {
  return ItemAt(Methods, Number);
}

int32_t TAddinHelper::FindProperty(TAddin& Sender, platform::TOleStringView Name) const {
  const int32_t Index = IndexOfProperty(Name);
  if (Index >= 0) return Index;
  return NumberBeyond(IndexBeyondByName(Sender, OnFindProperty, Name), Properties.size());
}

int32_t TAddinHelper::FindMethod(TAddin& Sender, platform::TOleStringView Name) const {
  const int32_t Index = IndexOfMethod(Name);
  if (Index >= 0) return Index;
  return NumberBeyond(IndexBeyondByName(Sender, OnFindMethod, Name), Methods.size());
}

int32_t TAddinHelper::GetPropertyCount(TAddin& Sender) const {
  int32_t Count = static_cast<int32_t>(Properties.size());
  if (OnGetPropertyCount) OnGetPropertyCount(Sender, Count);
  return Count;
}

int32_t TAddinHelper::GetMethodCount(TAddin& Sender) const {
  int32_t Count = static_cast<int32_t>(Methods.size());
  if (OnGetMethodCount) OnGetMethodCount(Sender, Count);
  return Count;
}

TOleString TAddinHelper::GetPropertyName(TAddin& Sender, int32_t Number, int32_t Alias) const {
  if (const TPropertiesItem* Entry = PropertyAt(Number)) return NameOf(*Entry, Alias);
  TOleString Name;
  if (OnGetPropertyName)
    OnGetPropertyName(Sender, Name, IndexBeyond(Number, Properties.size()), Alias);
  return Name;
}

TOleString TAddinHelper::GetMethodName(TAddin& Sender, int32_t Number, int32_t Alias) const {
  if (const TMethodsItem* Entry = MethodAt(Number)) return NameOf(*Entry, Alias);
  TOleString Name;
  if (OnGetMethodName) OnGetMethodName(Sender, Name, IndexBeyond(Number, Methods.size()), Alias);
  return Name;
}

std::string TAddinHelper::UnknownPropertyName(TAddin& Sender, int32_t Number,
                                              bool& HasNameEvent) const {
  HasNameEvent = static_cast<bool>(OnGetPropertyName);
  if (!HasNameEvent) return {};
  TOleString Name;
  OnGetPropertyName(Sender, Name, IndexBeyond(Number, Properties.size()), 0);
  return platform::ToAnsi(Name);
}

std::string TAddinHelper::UnknownMethodName(TAddin& Sender, int32_t Number,
                                            bool& HasNameEvent) const {
  HasNameEvent = static_cast<bool>(OnGetMethodName);
  if (!HasNameEvent) return {};
  TOleString Name;
  OnGetMethodName(Sender, Name, IndexBeyond(Number, Methods.size()), 0);
  return platform::ToAnsi(Name);
}

void TAddinHelper::Fail(const char* Subject, const std::string& MemberName) const {
  throw TAddinError(std::string(Subject) + " " + ExtensionName + "." + MemberName +
                    " not handled!");
}

namespace {
constexpr const char* kGetPropertyFailure = "Getting property";
constexpr const char* kSetPropertyFailure = "Setting property";
constexpr const char* kMethodFailure = "Method";
}  // namespace

void TAddinHelper::GetProperty(TAddin& Sender, int32_t Number, platform::TOleVariant& Value) const {
  if (const TPropertiesItem* Entry = PropertyAt(Number)) {
    if (Entry->OnGet) Entry->OnGet(Sender, Value);
    return;
  }
  bool HasName = false, Handled = false;
  const std::string Name = UnknownPropertyName(Sender, Number, HasName);
  if (HasName && OnGetProperty) OnGetProperty(Sender, Name, Value, Handled);
  if (!Handled) Fail(kGetPropertyFailure, Name);
}

void TAddinHelper::SetProperty(TAddin& Sender, int32_t Number, platform::TOleVariant& Value) const {
  if (const TPropertiesItem* Entry = PropertyAt(Number)) {
    if (Entry->OnSet) Entry->OnSet(Sender, Value);
    return;
  }
  bool HasName = false, Handled = false;
  const std::string Name = UnknownPropertyName(Sender, Number, HasName);
  if (HasName && OnSetProperty) OnSetProperty(Sender, Name, Value, Handled);
  if (!Handled) Fail(kSetPropertyFailure, Name);
}

bool TAddinHelper::PropertyFlag(TAddin& Sender, int32_t Number, bool TPropertiesItem::*Flag,
                                const TOnIsPropertyFlagEvent& Event) const {
  if (const TPropertiesItem* Entry = PropertyAt(Number)) return Entry->*Flag;
  // A member no event vouches for is neither readable nor writeable.
  bool HasName = false, Answer = false;
  const std::string Name = UnknownPropertyName(Sender, Number, HasName);
  if (Event) Event(Sender, Name, Answer);
  return Answer;
}

bool TAddinHelper::IsPropertyReadable(TAddin& Sender, int32_t Number) const {
  return PropertyFlag(Sender, Number, &TPropertiesItem::IsReadable, OnIsPropertyReadable);
}

bool TAddinHelper::IsPropertyWriteable(TAddin& Sender, int32_t Number) const {
  return PropertyFlag(Sender, Number, &TPropertiesItem::IsWriteable, OnIsPropertyWriteable);
}

int32_t TAddinHelper::GetParamsCount(TAddin& Sender, int32_t Number) const {
  if (const TMethodsItem* Entry = MethodAt(Number)) return Entry->ParamsCount;
  bool HasName = false, Handled = false;
  int32_t Count = 0;
  const std::string Name = UnknownMethodName(Sender, Number, HasName);
  if (HasName && OnGetParamsCount) OnGetParamsCount(Sender, Name, Count, Handled);
  if (!Handled) Fail(kMethodFailure, Name);
  return Count;
}

bool TAddinHelper::HasReturnValue(TAddin& Sender, int32_t Number) const {
  if (const TMethodsItem* Entry = MethodAt(Number)) return Entry->ReturnValue;
  bool HasName = false, Handled = false, HasRetValue = false;
  const std::string Name = UnknownMethodName(Sender, Number, HasName);
  if (HasName && OnHasReturnValue) OnHasReturnValue(Sender, Name, HasRetValue, Handled);
  if (!Handled) Fail(kMethodFailure, Name);
  return HasRetValue;
}

void TAddinHelper::GetDefaultParam(TAddin& Sender, int32_t Number, int32_t ParamIndex,
                                   platform::TOleVariant& Value) const {
  if (const TMethodsItem* Entry = MethodAt(Number)) {
    if (Entry->OnGetDefaultParam) Entry->OnGetDefaultParam(Sender, ParamIndex, Value);
    return;
  }
  bool HasName = false, Handled = false;
  const std::string Name = UnknownMethodName(Sender, Number, HasName);
  if (HasName && OnGetDefaultParam) OnGetDefaultParam(Sender, Name, ParamIndex, Value, Handled);
  if (!Handled) Fail(kMethodFailure, Name);
}

void TAddinHelper::CallAsProc(TAddin& Sender, int32_t Number, TParams& Params) const {
  if (const TMethodsItem* Entry = MethodAt(Number)) {
    if (Entry->OnCallAsProc) Entry->OnCallAsProc(Sender, Params);
    return;
  }
  bool HasName = false, Handled = false;
  const std::string Name = UnknownMethodName(Sender, Number, HasName);
  if (HasName && OnCallAsProc) OnCallAsProc(Sender, Name, Params, Handled);
  if (!Handled) Fail(kMethodFailure, Name);
}

void TAddinHelper::CallAsFunc(TAddin& Sender, int32_t Number, TParams& Params,
                              platform::TOleVariant& Value) const {
  if (const TMethodsItem* Entry = MethodAt(Number)) {
    if (Entry->OnCallAsFunc) Entry->OnCallAsFunc(Sender, Params, Value);
    return;
  }
  bool HasName = false, Handled = false;
  const std::string Name = UnknownMethodName(Sender, Number, HasName);
  if (HasName && OnCallAsFunc) OnCallAsFunc(Sender, Name, Params, Value, Handled);
  if (!Handled) Fail(kMethodFailure, Name);
}

}  // namespace addin
