// The MIB module members: rows of the dispatch-only members' table. Every argument is converted,
// in parameter order, before the engine is called.
#include <string>

#include "control/com/automation_types.h"
#include "control/com/dispatch_arguments.h"
#include "control/com/dispatch_only_calls.h"
#include "control/kivostrel.h"
#include "encoding/automation_error.h"

namespace kivostrel::com::dispatch_only {

void LoadMib(kivOstrel& engine, DispatchArguments arguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.LoadMib(TextArgument(*arguments[0]))), &result);
}

void GetMibPath(kivOstrel& engine, DispatchArguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.MibPath()), &result);
}

void PutMibPath(kivOstrel& engine, const VARIANT& value) {
  engine.MibPath(ValueToText(ScalarArgument(value)));
}

void GetMibWarnings(kivOstrel& engine, DispatchArguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.MibWarnings()), &result);
}

void FormatValue(kivOstrel& engine, DispatchArguments arguments, VARIANT& result) {
  const std::string oid = TextArgument(*arguments[0]);
  std::optional<Variant> value = EngineValueOf(*arguments[1]);
  if (!value) RaiseTypeMismatch();
  StoreEngineValue(Variant(engine.FormatValue(oid, *value)), &result);
}

void IndexedName(kivOstrel& engine, DispatchArguments arguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.IndexedName(TextArgument(*arguments[0]))), &result);
}

}  // namespace kivostrel::com::dispatch_only
