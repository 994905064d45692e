// The WScript object a script sees: Echo, Sleep, ConnectObject, DisconnectObject, CreateObject,
// Quit, Arguments, StdOut, StdErr, ScriptName, ScriptFullName, Name and Version.
#pragma once

#include "tools/scripthost/dispatch_object.h"

namespace ostrelhost {

class ScriptHost;

// `host` must outlive every call made on the object.
ComPtr<IDispatch> MakeWScriptObject(ScriptHost& host);

}  // namespace ostrelhost
