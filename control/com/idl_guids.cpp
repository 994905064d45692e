// The GUIDs of kivOstrel.idl (library, classes, interfaces), defined once for every user of
// the generated header.
#include <initguid.h>

#include "kivOstrel_h.h"
