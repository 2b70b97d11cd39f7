#include "host/AddinObject.h"

#include "host/Utf8.h"
#include "platform/com/Bstr.h"

namespace host {

namespace {

// Owns a one-dimensional safe array of variants.
class TParamArray {
 public:
  explicit TParamArray(LONG count)
      : array_(SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count))) {
    if (!array_) throw THostError("out of memory for the parameter array");
  }
  TParamArray(const TParamArray&) = delete;
  TParamArray& operator=(const TParamArray&) = delete;
  ~TParamArray() { SafeArrayDestroy(array_); }

  SAFEARRAY** Out() noexcept { return &array_; }
  void Put(LONG index, platform::TOleVariant value) {
    SafeArrayPutElement(array_, &index, value.Get());
  }
  platform::TOleVariant Get(LONG index) const {
    VARIANT element;
    VariantInit(&element);
    SafeArrayGetElement(array_, &index, &element);
    return platform::TOleVariant::Attach(element);
  }

 private:
  SAFEARRAY* array_;
};

}  // namespace

TAddinObject::~TAddinObject() {
  if (initDone_) initDone_->Done();
}

DISPID TAddinObject::MemberId(const platform::TOleString& name) {
  // Asked again every time: the members beyond the table (field properties)
  // change with the add-in's state, so a number found earlier may be stale.
  platform::TBstr text(name);
  TMember found{name};
  if (extender_->FindProp(text.Get(), &found.Property) != S_OK) found.Property = -1;
  if (extender_->FindMethod(text.Get(), &found.Method) != S_OK) found.Method = -1;
  if (found.Property < 0 && found.Method < 0) return DISPID_UNKNOWN;
  for (std::size_t i = 0; i < members_.size(); ++i) {
    if (members_[i].Name == name) {
      members_[i] = std::move(found);
      return static_cast<DISPID>(i + 1);
    }
  }
  members_.push_back(std::move(found));
  return static_cast<DISPID>(members_.size());
}

void TAddinObject::Call(DISPID id, WORD flags, const TCallArgs& args,
                        platform::TOleVariant* result) {
  if (id < 1 || static_cast<std::size_t>(id) > members_.size())
    throw TMemberNotFound("unknown member number");
  const TMember member = members_[static_cast<std::size_t>(id - 1)];
  const std::string name = Utf8FromUtf16(member.Name);

  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    if (member.Property < 0) throw TMemberNotFound(progId_ + " has no property " + name);
    platform::TOleVariant value = args.Value(args.Count() ? args.Count() - 1 : 0);
    extender_->SetPropVal(member.Property, value.Get());
    return;
  }
  if ((flags & DISPATCH_METHOD) && member.Method >= 0) {
    CallMethod(member, args, result);
    return;
  }
  if ((flags & DISPATCH_PROPERTYGET) && member.Property >= 0 && args.Count() == 0) {
    platform::TOleVariant value;
    extender_->GetPropVal(member.Property, value.Out());
    if (result) *result = std::move(value);
    return;
  }
  throw TMemberNotFound(progId_ + " has no " + (flags & DISPATCH_METHOD ? "method " : "property ") +
                        name);
}

void TAddinObject::CallMethod(const TMember& member, const TCallArgs& args,
                              platform::TOleVariant* result) {
  LONG count = 0;
  if (extender_->GetNParams(member.Method, &count) != S_OK || count < 0) count = 0;
  if (args.Count() > static_cast<std::size_t>(count))
    throw TBadParamCount(Utf8FromUtf16(member.Name) + " takes at most " + std::to_string(count) +
                         " arguments");

  TParamArray params(count);
  for (LONG i = 0; i < count; ++i) {
    const std::size_t position = static_cast<std::size_t>(i);
    if (!args.IsOmitted(position)) {
      params.Put(i, args.Value(position));
      continue;
    }
    platform::TOleVariant fallback;
    if (extender_->GetParamDefValue(member.Method, i, fallback.Out()) != S_OK || fallback.IsEmpty())
      fallback = platform::TOleVariant::Omitted();
    params.Put(i, std::move(fallback));
  }

  HRESULT hr;
  if (result) {
    platform::TOleVariant value;
    hr = extender_->CallAsFunc(member.Method, value.Out(), params.Out());
    *result = std::move(value);
  } else {
    hr = extender_->CallAsProc(member.Method, params.Out());
  }
  // A failed call has already been reported to the error log and wrote
  // nothing back.
  if (hr != S_OK) return;
  for (std::size_t i = 0; i < args.Count(); ++i)
    if (args.IsByRef(i)) args.WriteBack(i, params.Get(static_cast<LONG>(i)));
}

}  // namespace host
