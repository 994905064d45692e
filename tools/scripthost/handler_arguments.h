// The arguments of one event as the script's handler receives them, in the form its language
// takes (see ScriptLanguage).
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <vector>

#include "tools/scripthost/script_language.h"

namespace ostrelhost {

class HandlerArguments {
 public:
  // `params` must outlive this object when the language takes references.
  HandlerArguments(DISPPARAMS* params, const ScriptLanguage& language);
  ~HandlerArguments();
  HandlerArguments(const HandlerArguments&) = delete;
  HandlerArguments& operator=(const HandlerArguments&) = delete;

  // The event's own arguments, or copies of their values; each copy that cannot be made (out of
  // memory) is left empty.
  DISPPARAMS* params() noexcept { return forwarded_; }

 private:
  std::vector<VARIANT> copies_;
  DISPPARAMS copied_{};
  DISPPARAMS* forwarded_;
};

}  // namespace ostrelhost
