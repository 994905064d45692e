#include "oidtable/type_names.h"

#include "encoding/ber_tags.h"

namespace kivostrel {

std::int16_t Name2TypeID(std::string_view name) noexcept {
  for (const TagName& entry : kTagNames) {
    if (entry.name == name) return entry.tag;
  }
  return -1;
}

std::string Err2Str(std::int16_t error_status) {
  switch (error_status) {
    case -1:
      return "FormatError";
    case 0:
      return "NoError";
    case 1:
      return "TooBig";
    case 2:
      return "NoSuchName";
    case 3:
      return "BadValue";
    case 4:
      return "ReadOnly";
    case 5:
      return "GenError";
    default:
      return "UnknownError";
  }
}

}  // namespace kivostrel
