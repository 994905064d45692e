// Building the automation values that cross IDispatch: BSTRs, byte arrays, the EXCEPINFO of a
// failed call.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <cstdint>
#include <span>
#include <string_view>

#include "win/com_handles.h"

namespace kivostrel::com {

// Throws std::bad_alloc when the string cannot be allocated.
UniqueBstr BstrFromWide(std::wstring_view text);

// A SAFEARRAY(VT_UI1) of one dimension, lower bound 0. Throws std::bad_alloc, or HresultError
// when the array cannot be written.
UniqueSafeArray SafeArrayFromBytes(std::span<const std::uint8_t> bytes);

// What IDispatch::Invoke returns for a failure `code`: DISP_E_EXCEPTION with `exception` filled
// (`code` as its scode), or `code` itself when the caller gave no EXCEPINFO. A string that cannot
// be allocated is left null.
HRESULT FillExcepInfo(EXCEPINFO* exception, HRESULT code, std::wstring_view source,
                      std::wstring_view description) noexcept;

}  // namespace kivostrel::com
