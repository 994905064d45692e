#include "control/com/whole_number_text.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "control/com/automation_types.h"
#include "encoding/automation_error.h"
#include "win/com_handles.h"

namespace kivostrel::com {
namespace {

std::string SignedText(std::int64_t number) {
  if (number < 0) RaiseOverflow();
  return std::to_string(number);
}

std::string UnsignedText(std::uint64_t number) {
  return std::to_string(number);
}

std::string DoubleText(double number) {
  if (std::isnan(number)) RaiseTypeMismatch();
  // 2^64 is exact as a double; every whole double below it is exact as an unsigned 64-bit number.
  if (number < 0 || number >= 18446744073709551616.0 || std::trunc(number) != number) {
    RaiseOverflow();
  }
  return UnsignedText(static_cast<std::uint64_t>(number));
}

std::string CurrencyText(std::int64_t ten_thousandths) {
  if (ten_thousandths % 10000 != 0) RaiseOverflow();
  return SignedText(ten_thousandths / 10000);
}

// The 96-bit mantissa divided by 10^scale, which must leave no remainder and fit 64 bits.
std::string DecimalText(const DECIMAL& decimal) {
  std::array<std::uint32_t, 3> limbs{decimal.Hi32, decimal.Mid32, decimal.Lo32};  // high first
  const bool zero = limbs == std::array<std::uint32_t, 3>{};
  if (zero) return "0";
  if (decimal.sign != 0) RaiseOverflow();
  for (BYTE i = 0; i < decimal.scale; ++i) {
    std::uint64_t remainder = 0;
    for (std::uint32_t& limb : limbs) {
      const std::uint64_t part = (remainder << 32) | limb;
      limb = static_cast<std::uint32_t>(part / 10);
      remainder = part % 10;
    }
    if (remainder != 0) RaiseOverflow();
  }
  if (limbs[0] != 0) RaiseOverflow();
  return UnsignedText((std::uint64_t{limbs[1]} << 32) | limbs[2]);
}

}  // namespace

std::string WholeNumberText(const VARIANT& value) {
  UniqueVariant copy;
  if (FAILED(VariantCopyInd(copy.get(), const_cast<VARIANT*>(&value)))) RaiseTypeMismatch();
  const VARIANT& v = *copy.get();
  switch (V_VT(&v)) {
    case VT_EMPTY:
      return {};
    case VT_BSTR:
      return TextFromBstr(V_BSTR(&v));
    case VT_I1:
      return SignedText(V_I1(&v));
    case VT_I2:
      return SignedText(V_I2(&v));
    case VT_I4:
      return SignedText(V_I4(&v));
    case VT_INT:
      return SignedText(V_INT(&v));
    case VT_I8:
      return SignedText(V_I8(&v));
    case VT_BOOL:
      return SignedText(V_BOOL(&v));
    case VT_UI1:
      return UnsignedText(V_UI1(&v));
    case VT_UI2:
      return UnsignedText(V_UI2(&v));
    case VT_UI4:
      return UnsignedText(V_UI4(&v));
    case VT_UINT:
      return UnsignedText(V_UINT(&v));
    case VT_UI8:
      return UnsignedText(V_UI8(&v));
    case VT_R4:
      return DoubleText(V_R4(&v));
    case VT_R8:
      return DoubleText(V_R8(&v));
    case VT_CY:
      return CurrencyText(V_CY(&v).int64);
    case VT_DECIMAL:
      return DecimalText(V_DECIMAL(&v));
    default:
      RaiseTypeMismatch();
  }
}

}  // namespace kivostrel::com
