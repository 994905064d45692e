#include "control/com/ambient_properties.h"

#include <optional>

namespace kivostrel::com {
namespace {

std::optional<UniqueVariant> ReadAmbient(IDispatch* container, DISPID id) {
  if (!container) return std::nullopt;
  DISPPARAMS none{};
  UniqueVariant value;
  if (FAILED(container->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                               value.get(), nullptr, nullptr))) {
    return std::nullopt;
  }
  return value;
}

std::optional<OLE_COLOR> ReadColor(IDispatch* container, DISPID id) {
  auto value = ReadAmbient(container, id);
  if (!value) return std::nullopt;
  // Containers give OLE_COLOR as VT_UI4 or VT_I4; a system colour is negative as VT_I4.
  UniqueVariant converted;
  if (SUCCEEDED(VariantChangeType(converted.get(), value->get(), 0, VT_UI4))) {
    return V_UI4(converted.get());
  }
  if (SUCCEEDED(VariantChangeType(converted.get(), value->get(), 0, VT_I4))) {
    return static_cast<OLE_COLOR>(V_I4(converted.get()));
  }
  return std::nullopt;
}

ComPtr<IFont> ReadFont(IDispatch* container) {
  const auto value = ReadAmbient(container, DISPID_AMBIENT_FONT);
  ComPtr<IFont> font;
  if (!value) return font;
  const VARIANT& held = *value->get();
  IUnknown* object = V_VT(&held) == VT_DISPATCH  ? V_DISPATCH(&held)
                     : V_VT(&held) == VT_UNKNOWN ? V_UNKNOWN(&held)
                                                 : nullptr;
  if (object) object->QueryInterface(IID_IFont, font.ReceiveVoid());
  return font;
}

std::optional<bool> ReadFlag(IDispatch* container, DISPID id) {
  auto value = ReadAmbient(container, id);
  if (!value) return std::nullopt;
  UniqueVariant converted;
  if (FAILED(VariantChangeType(converted.get(), value->get(), 0, VT_BOOL))) return std::nullopt;
  return V_BOOL(converted.get()) != VARIANT_FALSE;
}

}  // namespace

bool ReadAmbientProperties(IUnknown* site, DISPID id, AmbientProperties& ambients) {
  if (id != DISPID_UNKNOWN && id != DISPID_AMBIENT_FONT && id != DISPID_AMBIENT_FORECOLOR &&
      id != DISPID_AMBIENT_BACKCOLOR && id != DISPID_AMBIENT_USERMODE) {
    return false;
  }
  ComPtr<IDispatch> container;
  if (site) site->QueryInterface(IID_IDispatch, container.ReceiveVoid());
  const auto wants = [id](DISPID one) { return id == DISPID_UNKNOWN || id == one; };
  const AmbientProperties defaults;
  if (wants(DISPID_AMBIENT_FONT)) ambients.font = ReadFont(container.get());
  if (wants(DISPID_AMBIENT_FORECOLOR)) {
    ambients.fore = ReadColor(container.get(), DISPID_AMBIENT_FORECOLOR).value_or(defaults.fore);
  }
  if (wants(DISPID_AMBIENT_BACKCOLOR)) {
    ambients.back = ReadColor(container.get(), DISPID_AMBIENT_BACKCOLOR).value_or(defaults.back);
  }
  if (wants(DISPID_AMBIENT_USERMODE)) {
    ambients.user_mode =
        ReadFlag(container.get(), DISPID_AMBIENT_USERMODE).value_or(defaults.user_mode);
  }
  return true;
}

}  // namespace kivostrel::com
