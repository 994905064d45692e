// Readable English texts for Windows Sockets error numbers.
#pragma once

#include <string>

namespace kivostrel {

// A text for a WSA error number, e.g. "message too long" for WSAEMSGSIZE; the system's own text
// for numbers outside the usual ones. Wine has no message texts for most of them.
std::string WinsockErrorText(int error);

}  // namespace kivostrel
