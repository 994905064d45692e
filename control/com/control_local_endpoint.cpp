// LocalPort and LocalAddress: rows of the dispatch-only members' table. Scripts reach them by name
// (`Snmp.LocalPort = 162`), a VB form through its extender (`Snmp.object.LocalPort = 162`), C++
// through GetIDsOfNames.
#include "control/com/automation_types.h"
#include "control/com/dispatch_arguments.h"
#include "control/com/dispatch_only_calls.h"
#include "control/kivostrel.h"

namespace kivostrel::com::dispatch_only {

void GetLocalPort(kivOstrel& engine, DispatchArguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.LocalPort()), &result);
}

void PutLocalPort(kivOstrel& engine, const VARIANT& value) {
  engine.LocalPort(ScalarArgument(value));
}

void GetLocalAddress(kivOstrel& engine, DispatchArguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.LocalAddress()), &result);
}

void PutLocalAddress(kivOstrel& engine, const VARIANT& value) {
  engine.LocalAddress(ValueToText(ScalarArgument(value)));
}

}  // namespace kivostrel::com::dispatch_only
