// The base of every object the emulated host hands to scripts and add-ins:
// an IDispatch whose members are found by name (case-insensitive, as the
// host's language is) and whose failures travel back as exceptions with a
// description (DISP_E_EXCEPTION).
#pragma once

#include <atomic>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/Com.h"
#include "platform/com/OleVariant.h"
#include "platform/os/CodePage.h"

namespace host {

// The two languages of the host's automation objects.
enum class TDialect { Expression, Object };

// A failure of a host object, with a UTF-8 description.
class THostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The member exists but not for this kind of call (DISP_E_MEMBERNOTFOUND).
class TMemberNotFound : public THostError {
 public:
  using THostError::THostError;
};

// More arguments than the member takes (DISP_E_BADPARAMCOUNT).
class TBadParamCount : public THostError {
 public:
  using THostError::THostError;
};

// The arguments of one call, in call order. A by-reference argument
// (VT_BYREF | VT_VARIANT) is read through and can be written back.
class TCallArgs {
 public:
  explicit TCallArgs(const DISPPARAMS* params);

  std::size_t Count() const noexcept { return args_.size(); }
  // Absent, or the marker of an argument left out.
  bool IsOmitted(std::size_t index) const noexcept;
  // The value with references resolved; an absent argument is the marker.
  platform::TOleVariant Value(std::size_t index) const;
  bool IsByRef(std::size_t index) const noexcept;
  // Writes into a by-reference argument; a by-value one is left alone.
  void WriteBack(std::size_t index, const platform::TOleVariant& value) const;
  // At most `maximum` arguments, or TBadParamCount naming the member.
  void RequireAtMost(std::size_t maximum, std::string_view member) const;

 private:
  std::vector<VARIANT*> args_;
};

class THostObject : public IDispatch {
 public:
  THostObject() = default;
  THostObject(const THostObject&) = delete;
  THostObject& operator=(const THostObject&) = delete;

  // What print shows after "OBJ": "ValueTable", "ValueList", "AddIn.Sample".
  virtual std::string TypeName() const = 0;

  // The host object behind an interface pointer, or null for any other.
  static THostObject* From(IUnknown* object) noexcept;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                   EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // References held by others than the creator.
  LONG References() const noexcept { return refCount_.load(); }

 protected:
  virtual ~THostObject() = default;

  // The member's number (1 and up), or DISPID_UNKNOWN when there is none.
  virtual DISPID MemberId(const platform::TOleString& name) = 0;
  // Runs a member. `result` is null when the caller drops the result.
  virtual void Call(DISPID member, WORD flags, const TCallArgs& args,
                    platform::TOleVariant* result) = 0;
  // Objects owned by the host session itself are not deleted by Release.
  virtual bool DeleteOnLastRelease() const noexcept { return true; }

 private:
  std::atomic<LONG> refCount_{1};
};

// A variant holding the only reference to a newly made host object.
platform::TOleVariant Adopt(THostObject* created);

// Members named by a fixed list of English names; the number of a member is
// its position in the list plus 1.
DISPID FindMemberName(const std::vector<std::string_view>& names, const platform::TOleString& name);

// Text from an argument, for names and expressions.
platform::TOleString ArgText(const TCallArgs& args, std::size_t index);

}  // namespace host
