// A Counter64's value as a host holds it, in decimal for the engine: a host computes with Doubles,
// Currency and 64-bit integers, and gets a received Counter64 back as a Decimal, none of which
// automation turns into text without rounding or an exponent past 15 digits.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

namespace kivostrel::com {

// The exact decimal text of a whole number from 0 to 2^64 - 1 of any numeric automation type
// (integers of every width, Boolean, Single, Double, Currency, Decimal), looking through VT_BYREF.
// A String is its own text and Empty the empty one, for the engine to read. A number that is
// negative, has a fraction, is infinite or is 2^64 or more: error 6; anything else, NaN included
// (dates, Null, arrays, objects): 13.
std::string WholeNumberText(const VARIANT& value);

}  // namespace kivostrel::com
