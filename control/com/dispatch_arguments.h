// How the dispatch-only members read their arguments: each as the type library's Invoke would
// convert it to the parameter's declared type, so that a member outside the type library takes
// what one inside takes. What does not convert raises AutomationError 13 (6 for a number out of
// range) before the engine is called.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <cstdint>
#include <string>

#include "encoding/variant.h"

namespace kivostrel::com {

// A `String` parameter: automation's conversion to text.
std::string TextArgument(const VARIANT& argument);
// A `Long` parameter: automation's conversion to a 32-bit integer (fractions rounded half to
// even; 6 outside the range).
std::int32_t LongArgument(const VARIANT& argument);
// A `Byte()` by-reference parameter, as SendGetRequest's Objectvalue: a byte array in any form
// (ByteArrayIn), or what automation converts to one (a String: its UTF-16 bytes).
Bytes ByteArrayArgument(const VARIANT& argument);
// An optional `Variant` binding list, as SendTrap's Objectval: bytes, or empty when omitted or
// Empty; 13 for anything else, before the engine checks the version or the link.
Variant BindingsArgument(const VARIANT& argument);
// One binding of JoinBindings: a byte array in any form (ByteArrayIn), nothing else.
Bytes BindingArgument(const VARIANT& argument);
// A property put of a number or a text; 13 for an array, an object or Null.
Variant ScalarArgument(const VARIANT& argument);

}  // namespace kivostrel::com
