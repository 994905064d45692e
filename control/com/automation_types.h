// Conversions between the automation types that cross the control's interface and the engine's
// C++ types: BSTR and UTF-8 text, SAFEARRAY(VT_UI1) and byte vectors (the way there is
// SafeArrayFromBytes, in win/automation_values.h), VARIANT and Variant. Failures raise what the
// engine raises (AutomationError 13 for a value of the wrong kind) or std::bad_alloc.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <optional>
#include <string>
#include <string_view>

#include "encoding/variant.h"
#include "win/automation_values.h"
#include "win/com_handles.h"

namespace kivostrel::com {

// A null BSTR is the empty text.
std::string TextFromBstr(BSTR text);
UniqueBstr BstrFromText(std::string_view text);

// A null array is empty. A dimension other than one, or elements other than bytes, is error 13.
Bytes BytesFromSafeArray(const SAFEARRAY* array);

// Where the byte array an argument holds lies, in every form a host passes one: by value, by
// reference (VT_BYREF | VT_ARRAY | VT_UI1), or in a variable passed by reference (VT_BYREF |
// VT_VARIANT, as script engines pass one) that holds either; nullptr for any other value.
SAFEARRAY** ByteArrayIn(VARIANT& argument) noexcept;

// The engine's form of a value, looking through VT_BYREF. Integers of every width become 32-bit
// integers (error 6 when they do not fit), floating values doubles; nullopt for what the engine
// has no form for (objects, dates, currency, Null, arrays other than bytes). A missing optional
// argument (VT_ERROR DISP_E_PARAMNOTFOUND) is empty.
std::optional<Variant> EngineValueOf(const VARIANT& value);
// Writes `value` into `target`, which must be empty or uninitialised.
void StoreEngineValue(const Variant& value, VARIANT* target);

}  // namespace kivostrel::com
