#include "win/automation_values.h"

#include <cstring>
#include <new>

namespace kivostrel::com {
namespace {

BSTR AllocateBstr(std::wstring_view text) noexcept {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

}  // namespace

UniqueBstr BstrFromWide(std::wstring_view text) {
  UniqueBstr result(AllocateBstr(text));
  if (!result) throw std::bad_alloc();
  return result;
}

UniqueSafeArray SafeArrayFromBytes(std::span<const std::uint8_t> bytes) {
  UniqueSafeArray array(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size())));
  if (!array) throw std::bad_alloc();
  if (!bytes.empty()) {
    void* data = nullptr;
    ThrowIfFailed(SafeArrayAccessData(array.get(), &data));
    std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array.get());
  }
  return array;
}

HRESULT FillExcepInfo(EXCEPINFO* exception, HRESULT code, std::wstring_view source,
                      std::wstring_view description) noexcept {
  if (!exception) return code;
  *exception = EXCEPINFO{};
  exception->scode = code;
  exception->bstrSource = AllocateBstr(source);
  exception->bstrDescription = AllocateBstr(description);
  return DISP_E_EXCEPTION;
}

}  // namespace kivostrel::com
