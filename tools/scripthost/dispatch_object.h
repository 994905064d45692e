// Bases for the host's own automation objects (WScript and its helpers, event sinks): late-bound
// only, and the argument readers their members share.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "win/com_handles.h"
#include "win/ref_counted.h"

namespace ostrelhost {

using kivostrel::com::ComPtr;
using kivostrel::com::UniqueBstr;
using kivostrel::com::UniqueExcepInfo;
using kivostrel::com::UniqueVariant;

// IDispatch without type information; answers IUnknown and IDispatch. Starts with one
// reference, the creator's.
class UntypedDispatch : public kivostrel::com::RefCounted<IDispatch> {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;

 protected:
  void* Face(REFIID iid) noexcept override;
};

// An object with a fixed table of member names.
class DispatchObject : public UntypedDispatch {
 public:
  struct Member {
    const wchar_t* name;
    DISPID id;
  };

  // Names are matched without regard to case.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* bad_argument) override;

 protected:
  // Starts with one reference, the creator's. `members` must outlive the object.
  explicit DispatchObject(std::span<const Member> members) noexcept : members_(members) {}

  // One member call; `result` may be null. Failures go through Fail().
  virtual HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result,
                       EXCEPINFO* exception) = 0;

 private:
  std::span<const Member> members_;
};

// Fills `exception` (when the caller gave one) with the host as source, and returns what the
// member should return.
HRESULT Fail(EXCEPINFO* exception, HRESULT code, std::wstring_view description);

// The argument at `index` in call order, by-reference variants followed; null when it was left
// out.
const VARIANT* Argument(const DISPPARAMS& params, UINT index) noexcept;
std::optional<std::wstring> TextArgument(const DISPPARAMS& params, UINT index);
std::optional<long> LongArgument(const DISPPARAMS& params, UINT index);
// Null when the argument is missing or not an object.
IDispatch* ObjectArgument(const DISPPARAMS& params, UINT index) noexcept;

// How Echo shows a value: booleans as True/False, Null as "Null", objects by their default value.
std::optional<std::wstring> DisplayText(const VARIANT& value);

void ReturnText(VARIANT* result, std::wstring_view text);
void ReturnLong(VARIANT* result, long value);
// Adds a reference for the caller.
void ReturnObject(VARIANT* result, IDispatch* object);

}  // namespace ostrelhost
