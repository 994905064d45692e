// OCTET STRING texts in the system's ANSI code page (CP_ACP), the engine's texts in UTF-8.
#pragma once

#include <string>

#include "control/host.h"

namespace kivostrel::com {

class AnsiCodePage final : public CodePage {
 public:
  std::string ToAnsi(std::string_view utf8) const override;
  std::string FromAnsi(const std::string& ansi) const override;
};

}  // namespace kivostrel::com
