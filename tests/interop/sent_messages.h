// Every kind of message the control sends, each once, as it went out on 127.0.0.1: the input of
// the tests that hand the control's datagrams to other decoders.
#pragma once

#include <string>
#include <vector>

#include "engine_harness.h"

namespace kivostrel::testing {

inline constexpr const char* kSentEnterprise = "1.3.6.1.4.1.99999";

// Every value constructor's binding, end to end, under kSentEnterprise.1.N.0 for N = 1 to 8:
// "hello world", -5, Counter 4294967295, Gauge 1000, TimeTicks 123456, 10.0.0.254,
// bytes 00 01 FE FF, Null.
Bytes EveryValueType(const kivOstrel& engine);

// Has the control (ready, in `host`) send, in this order: GetRequest (public, id 1, sysDescr.0
// Null), GetNextRequest (id 2, every value type), SetRequest (private, id 3, every value type),
// GetResponse (id 4, every value type), GetResponse (id -5, error status 2, index 1,
// sysDescr.0 Null), Trap (enterprise-specific 17, agent 127.0.0.1, time stamp 123456, every
// value type), Trap (linkDown, ifIndex.3 = 3), GetRequest (empty community, id 2147483647, no
// bindings). Returns the datagrams as they arrived; a failure fails the running test.
std::vector<Bytes> SendEveryKindOfMessage(EngineHarness& host);

}  // namespace kivostrel::testing
