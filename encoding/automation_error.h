// Automation errors: the one error type of the control.
//
// Every failure that reaches a host carries a number, a source and a description, as an
// automation error does. The COM shell turns one into HRESULT 0x800A0000 + number with the
// source and description in the thread's error information; nothing else needs to know COM.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kivostrel {

// The library name, used as the source of the standard run-time errors.
inline constexpr const char* kLibraryName = "kivOstrelCtrl";

// Run-time error numbers the control raises. 5, 6, 13 and 380 are the platform's standard
// numbers; 20001 is the control's own.
enum ErrorNumber : std::int32_t {
  kErrInvalidCall = 5,
  kErrOverflow = 6,
  kErrTypeMismatch = 13,
  kErrInvalidPropertyValue = 380,
  kErrNotReady = 20001,
};

class AutomationError : public std::runtime_error {
 public:
  AutomationError(std::int32_t number, std::string source, std::string description)
      : std::runtime_error(description),
        number_(number),
        source_(std::move(source)),
        description_(std::move(description)) {}

  std::int32_t number() const noexcept { return number_; }
  const std::string& source() const noexcept { return source_; }
  const std::string& description() const noexcept { return description_; }

 private:
  std::int32_t number_;
  std::string source_;
  std::string description_;
};

// Error 6, "Overflow": a value outside the range of its target.
[[noreturn]] inline void RaiseOverflow() {
  throw AutomationError(kErrOverflow, kLibraryName, "Overflow");
}

// Error 13, "Type mismatch": a text that is not what the conversion reads.
[[noreturn]] inline void RaiseTypeMismatch() {
  throw AutomationError(kErrTypeMismatch, kLibraryName, "Type mismatch");
}

}  // namespace kivostrel
