// The SNMPv3 members: rows of the dispatch-only members' table. Every argument is converted, in
// parameter order, before the engine is called, so a conversion error (13, 6) comes before the
// engine's own (5 for a user it refuses, 380 for a property value out of range). No text the
// engine is given here is ever put into an error: passwords stay out of every description.
#include <string>

#include "control/com/automation_types.h"
#include "control/com/dispatch_arguments.h"
#include "control/com/dispatch_only_calls.h"
#include "control/kivostrel.h"

namespace kivostrel::com::dispatch_only {

void AddUser(kivOstrel& engine, DispatchArguments arguments, VARIANT&) {
  // The passwords' UTF-8 copies go straight to the engine, which wipes them.
  const std::string user_name = TextArgument(*arguments[0]);
  const std::string auth_protocol = TextArgument(*arguments[1]);
  const std::string priv_protocol = TextArgument(*arguments[3]);
  engine.AddUser(user_name, auth_protocol, TextArgument(*arguments[2]), priv_protocol,
                 TextArgument(*arguments[4]));
}

void RemoveUser(kivOstrel& engine, DispatchArguments arguments, VARIANT&) {
  engine.RemoveUser(TextArgument(*arguments[0]));
}

void PinEngineID(kivOstrel& engine, DispatchArguments arguments, VARIANT&) {
  const std::string remote_ip = TextArgument(*arguments[0]);
  const std::string remote_port = TextArgument(*arguments[1]);
  engine.PinEngineID(remote_ip, remote_port, TextArgument(*arguments[2]));
}

void GetContextName(kivOstrel& engine, DispatchArguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.ContextName()), &result);
}

void PutContextName(kivOstrel& engine, const VARIANT& value) {
  engine.ContextName(ValueToText(ScalarArgument(value)));
}

void GetEngineID(kivOstrel& engine, DispatchArguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.EngineID()), &result);
}

void PutEngineID(kivOstrel& engine, const VARIANT& value) {
  engine.EngineID(ValueToText(ScalarArgument(value)));
}

void GetContextEngineID(kivOstrel& engine, DispatchArguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.ContextEngineID()), &result);
}

void PutContextEngineID(kivOstrel& engine, const VARIANT& value) {
  engine.ContextEngineID(ValueToText(ScalarArgument(value)));
}

void GetEngineBoots(kivOstrel& engine, DispatchArguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.EngineBoots()), &result);
}

void PutEngineBoots(kivOstrel& engine, const VARIANT& value) {
  engine.EngineBoots(ScalarArgument(value));
}

void GetSecurityError(kivOstrel& engine, DispatchArguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.SecurityError()), &result);
}

}  // namespace kivostrel::com::dispatch_only
