// The SNMPv2c members: rows of the dispatch-only members' table. Every argument is converted, in
// parameter order, before the engine is called, so a conversion error (13, 6) comes before the
// engine's own (5 under SnmpVersion 0, then 20001 "Not Ready").
#include <vector>

#include "control/com/automation_types.h"
#include "control/com/dispatch_arguments.h"
#include "control/com/dispatch_only_calls.h"
#include "control/com/whole_number_text.h"
#include "control/kivostrel.h"

namespace kivostrel::com::dispatch_only {

void GetErrorIndex(kivOstrel& engine, DispatchArguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.ErrorIndex()), &result);
}

void GetSnmpVersion(kivOstrel& engine, DispatchArguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.SnmpVersion()), &result);
}

void PutSnmpVersion(kivOstrel& engine, const VARIANT& value) {
  engine.SnmpVersion(ScalarArgument(value));
}

void SendGetBulkRequest(kivOstrel& engine, DispatchArguments arguments, VARIANT&) {
  const std::string remote_ip = TextArgument(*arguments[0]);
  const std::string remote_port = TextArgument(*arguments[1]);
  const std::string community = TextArgument(*arguments[2]);
  const std::int32_t request_id = LongArgument(*arguments[3]);
  const std::int32_t non_repeaters = LongArgument(*arguments[4]);
  const std::int32_t max_repetitions = LongArgument(*arguments[5]);
  const Bytes bindings = ByteArrayArgument(*arguments[6]);
  engine.SendGetBulkRequest(remote_ip, remote_port, community, request_id, non_repeaters,
                            max_repetitions, bindings);
}

void SendNotification(kivOstrel& engine, DispatchArguments arguments, VARIANT&) {
  const std::string remote_ip = TextArgument(*arguments[0]);
  const std::string remote_port = TextArgument(*arguments[1]);
  const std::string community = TextArgument(*arguments[2]);
  const std::string trap_oid = TextArgument(*arguments[3]);
  const Variant bindings = BindingsArgument(*arguments[4]);
  engine.SendNotification(remote_ip, remote_port, community, trap_oid, bindings);
}

void SendInformRequest(kivOstrel& engine, DispatchArguments arguments, VARIANT&) {
  const std::string remote_ip = TextArgument(*arguments[0]);
  const std::string remote_port = TextArgument(*arguments[1]);
  const std::string community = TextArgument(*arguments[2]);
  const std::int32_t request_id = LongArgument(*arguments[3]);
  const std::string trap_oid = TextArgument(*arguments[4]);
  const Variant bindings = BindingsArgument(*arguments[5]);
  engine.SendInformRequest(remote_ip, remote_port, community, request_id, trap_oid, bindings);
}

void SNMPNoSuchObjectValue(kivOstrel& engine, DispatchArguments arguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.SNMPNoSuchObjectValue(TextArgument(*arguments[0]))), &result);
}

void SNMPNoSuchInstanceValue(kivOstrel& engine, DispatchArguments arguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.SNMPNoSuchInstanceValue(TextArgument(*arguments[0]))), &result);
}

void SNMPEndOfMibViewValue(kivOstrel& engine, DispatchArguments arguments, VARIANT& result) {
  StoreEngineValue(Variant(engine.SNMPEndOfMibViewValue(TextArgument(*arguments[0]))), &result);
}

void SNMPCounter64Value(kivOstrel& engine, DispatchArguments arguments, VARIANT& result) {
  const std::string object_id = TextArgument(*arguments[0]);
  const std::string value = WholeNumberText(*arguments[1]);
  StoreEngineValue(Variant(engine.SNMPCounter64Value(object_id, value)), &result);
}

void JoinBindings(kivOstrel& engine, DispatchArguments arguments, VARIANT& result) {
  std::vector<Bytes> bindings;
  bindings.reserve(arguments.size());
  for (const VARIANT* argument : arguments) bindings.push_back(BindingArgument(*argument));
  StoreEngineValue(Variant(engine.JoinBindings(bindings)), &result);
}

}  // namespace kivostrel::com::dispatch_only
