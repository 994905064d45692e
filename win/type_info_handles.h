// Owners of the descriptions an ITypeInfo lends out (TYPEATTR, FUNCDESC): each goes back to the
// ITypeInfo that gave it, which must outlive the owner.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <memory>

namespace kivostrel::com {

struct TypeAttrRelease {
  ITypeInfo* info;
  void operator()(TYPEATTR* attributes) const noexcept { info->ReleaseTypeAttr(attributes); }
};
using UniqueTypeAttr = std::unique_ptr<TYPEATTR, TypeAttrRelease>;

struct FuncDescRelease {
  ITypeInfo* info;
  void operator()(FUNCDESC* function) const noexcept { info->ReleaseFuncDesc(function); }
};
using UniqueFuncDesc = std::unique_ptr<FUNCDESC, FuncDescRelease>;

// The HRESULT of ITypeInfo::GetTypeAttr; `attributes` holds the result, or nothing on failure.
inline HRESULT GetTypeAttr(ITypeInfo* info, UniqueTypeAttr& attributes) noexcept {
  TYPEATTR* raw = nullptr;
  const HRESULT hr = info->GetTypeAttr(&raw);
  attributes = UniqueTypeAttr(SUCCEEDED(hr) ? raw : nullptr, TypeAttrRelease{info});
  return hr;
}

// The HRESULT of ITypeInfo::GetFuncDesc; `function` holds the result, or nothing on failure.
inline HRESULT GetFuncDesc(ITypeInfo* info, UINT index, UniqueFuncDesc& function) noexcept {
  FUNCDESC* raw = nullptr;
  const HRESULT hr = info->GetFuncDesc(index, &raw);
  function = UniqueFuncDesc(SUCCEEDED(hr) ? raw : nullptr, FuncDescRelease{info});
  return hr;
}

}  // namespace kivostrel::com
