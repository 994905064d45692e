#include "tools/scripthost/handler_arguments.h"

#include <oleauto.h>

#include "win/com_handles.h"

namespace ostrelhost {
namespace {

using kivostrel::com::UniqueSafeArray;

// A one-dimensional byte array as an array of variants holding the same numbers, with the same
// bounds; false (and `value` unchanged) when it is anything else or memory runs out.
bool ByteArrayToVariants(VARIANT& value) {
  if (V_VT(&value) != (VT_ARRAY | VT_UI1) || V_ARRAY(&value) == nullptr ||
      ::SafeArrayGetDim(V_ARRAY(&value)) != 1) {
    return false;
  }
  SAFEARRAY* bytes = V_ARRAY(&value);
  LONG lower = 0;
  LONG upper = -1;
  if (FAILED(::SafeArrayGetLBound(bytes, 1, &lower)) ||
      FAILED(::SafeArrayGetUBound(bytes, 1, &upper))) {
    return false;
  }
  SAFEARRAYBOUND bound{static_cast<ULONG>(upper - lower + 1), lower};
  UniqueSafeArray numbers(::SafeArrayCreate(VT_VARIANT, 1, &bound));
  if (!numbers) return false;
  for (LONG index = lower; index <= upper; ++index) {
    VARIANT number;
    V_VT(&number) = VT_UI1;
    if (FAILED(::SafeArrayGetElement(bytes, &index, &V_UI1(&number))) ||
        FAILED(::SafeArrayPutElement(numbers.get(), &index, &number))) {
      return false;
    }
  }
  ::VariantClear(&value);
  V_VT(&value) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&value) = numbers.Detach();
  return true;
}

}  // namespace

HandlerArguments::HandlerArguments(DISPPARAMS* params, const ScriptLanguage& language)
    : forwarded_(params) {
  if (!language.arguments_by_value || params == nullptr || params->cArgs == 0) return;
  copies_.resize(params->cArgs);
  for (VARIANT& copy : copies_) ::VariantInit(&copy);
  for (UINT i = 0; i < params->cArgs; ++i) {
    if (FAILED(::VariantCopyInd(&copies_[i], &params->rgvarg[i]))) continue;
    if (language.byte_arrays_as_variants) ByteArrayToVariants(copies_[i]);
  }
  copied_ = *params;
  copied_.rgvarg = copies_.data();
  forwarded_ = &copied_;
}

HandlerArguments::~HandlerArguments() {
  for (VARIANT& copy : copies_) ::VariantClear(&copy);
}

}  // namespace ostrelhost
