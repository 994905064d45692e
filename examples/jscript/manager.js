// kivOstrel from JScript: a small SNMP manager.
//
// Reads sysDescr and shows the reply's raw bytes, walks the system group, sets sysContact and
// reads it back, sends a trap; then, over SNMPv2c, reads sysName and ifHCInOctets.1 (a Counter64)
// in one request and walks the system group with GetBulkRequest.
//
//   ostrelhost.exe manager.js [agent [port [community [write-community [trap-port]]]]]
//
// Defaults: 127.0.0.1, port 161, community "public", write community "private", traps to
// port 162 of the same host. Any host that offers WScript.ConnectObject and a message-pumping
// WScript.Sleep runs it (ostrelhost.exe does; Wine's cscript does not).
//
// Byte arrays: what the control returns (a binding from SNMPNullValue and the others) is held in
// a variable and passed back as it is. A handler reads RawData with new VBArray(x).toArray().
// A Counter64 arrives as a Decimal, which JScript holds and hands on but cannot compute with or
// turn into text: it is printed as an argument of its own of WScript.Echo.

var SYSTEM_GROUP = "1.3.6.1.2.1.1";
var SYS_DESCR = "1.3.6.1.2.1.1.1.0";
var SYS_CONTACT = "1.3.6.1.2.1.1.4.0";
var SYS_NAME = "1.3.6.1.2.1.1.5.0";
var IF_HC_IN_OCTETS = "1.3.6.1.2.1.31.1.1.1.6";
var BULK_REPETITIONS = 5;
var TIMEOUT_MS = 3000;

var agent = arg(0, "127.0.0.1");
var port = arg(1, "161");
var community = arg(2, "public");
var writeCommunity = arg(3, "private");
var trapPort = arg(4, "162");

// Filled by the event handlers below.
var isReady = false;
var replied = false;
var replyStatus = 0;
var reply = null;
var replyBytes = [];
var expectedId = 0;

var Snmp = WScript.CreateObject("kivOstrelCtrl.kivOstrel");
WScript.ConnectObject(Snmp, "Snmp_");
WScript.Echo(Snmp.Copyright);

WScript.Echo("== get sysDescr from " + agent + ":" + port);
showAll(request("get", Snmp.SNMPNullValue(SYS_DESCR)));
WScript.Echo("reply of " + replyBytes.length + " bytes: " + hex(replyBytes.slice(0, 8)) + " ...");

WScript.Echo("== walk the system group");
var oid = SYSTEM_GROUP;
for (var count = 0; count < 100; count++) {
  var answer = request("next", Snmp.SNMPNullValue(oid));
  if (answer == null) break;
  var item = answer.Item(1);
  if (item.OIDName.indexOf(SYSTEM_GROUP + ".") != 0) break;
  show(item);
  oid = item.OIDName;
}

WScript.Echo("== set sysContact");
showAll(request("set", Snmp.SNMPStringValue(SYS_CONTACT, "kivOstrel example <ops@example.org>")));
WScript.Echo("== get sysContact back");
showAll(request("get", Snmp.SNMPNullValue(SYS_CONTACT)));

WScript.Echo("== send a trap to " + agent + ":" + trapPort);
var binding = Snmp.SNMPStringValue("1.3.6.1.4.1.99999.1", "hello from kivOstrel in JScript");
waitReady();
isReady = false;
// Enterprise 1.3.6.1.4.1.99999, enterpriseSpecific (6), specific type 17.
Snmp.SendTrap(agent, trapPort, community, "1.3.6.1.4.1.99999", 6, "17", binding);
waitReady();
WScript.Echo("trap sent");

// Every message from here on is SNMPv2c.
Snmp.SnmpVersion = 1;
// The control's table has no name for the Counter64: one row gives it.
Snmp.SetOID(IF_HC_IN_OCTETS,
            "iso.org.dod.internet.mgmt.mib.ifMIB.ifMIBObjects.ifXTable.ifXEntry.ifHCInOctets");
WScript.Echo("== SNMPv2c: get sysName and ifHCInOctets.1 in one request");
showAll(request("get", Snmp.JoinBindings(Snmp.SNMPNullValue(SYS_NAME),
                                         Snmp.SNMPNullValue(IF_HC_IN_OCTETS + ".1"))));

WScript.Echo("== walk the system group with GetBulkRequest, " + BULK_REPETITIONS +
             " objects a request");
oid = SYSTEM_GROUP;
var walked = 0, requests = 0;
for (var done = false; !done && requests < 20;) {
  var answer = request("bulk", Snmp.SNMPNullValue(oid));
  if (answer == null) break;
  requests++;
  done = answer.Count == 0;
  for (var index = 1; index <= answer.Count; index++) {
    var item = answer.Item(index);
    // The walk ends past the group or at the end of the agent's objects.
    if (item.OIDName.indexOf(SYSTEM_GROUP + ".") != 0 || item.OIDTypeName == "EndOfMibView") {
      done = true;
      break;
    }
    show(item);
    oid = item.OIDName;
    walked++;
  }
}
WScript.Echo(walked + " objects of the system group in " + requests + " GetBulkRequests");

// --- events ----------------------------------------------------------------------------------

function Snmp_Ready() {
  isReady = true;
}

function Snmp_WsError(ecode, description, where) {
  WScript.Echo("socket error " + ecode + " in " + where + ": " + description);
}

function Snmp_Response(remoteIP, remotePort, version, remoteCommunity, command, requestId,
                       errorStatus, objects, rawData) {
  if (command != "GetResponse" || requestId != expectedId) return;
  reply = objects;
  replyStatus = errorStatus;
  // A byte array becomes a JScript array of numbers.
  replyBytes = new VBArray(rawData).toArray();
  replied = true;
}

// --- helpers ---------------------------------------------------------------------------------

// The argument at index, or fallback when there is none.
function arg(index, fallback) {
  return WScript.Arguments.length > index ? WScript.Arguments(index) : fallback;
}

// Waits for the control to take the next send (Ready follows every send and the socket opening).
function waitReady() {
  for (var waited = 0; !isReady; waited += 20) {
    if (waited >= TIMEOUT_MS) {
      WScript.Echo("the control did not become ready");
      WScript.Quit(1);
    }
    WScript.Sleep(20);
  }
}

// Sends one request ("get", "next", "set" or "bulk") with the binding list `bindings` and waits
// for its answer: the objects of the response, or null after an error status or the time-out.
function request(kind, bindings) {
  waitReady();
  expectedId++;
  replied = false;
  isReady = false;
  switch (kind) {
    case "get":
      Snmp.SendGetRequest(agent, port, community, expectedId, bindings);
      break;
    case "next":
      Snmp.SendGetNextRequest(agent, port, community, expectedId, bindings);
      break;
    case "set":
      Snmp.SendSetRequest(agent, port, writeCommunity, expectedId, bindings);
      break;
    case "bulk":
      // No non-repeaters: every binding is repeated.
      Snmp.SendGetBulkRequest(agent, port, community, expectedId, 0, BULK_REPETITIONS, bindings);
      break;
  }
  for (var waited = 0; !replied && waited < TIMEOUT_MS; waited += 20) WScript.Sleep(20);
  if (!replied) {
    WScript.Echo("no answer from " + agent + ":" + port);
    return null;
  }
  if (replyStatus != 0) {
    WScript.Echo("error status " + replyStatus + " (" + Snmp.Err2Str(replyStatus) + ")");
    return null;
  }
  return reply;
}

function showAll(objects) {
  if (objects == null) return;
  for (var index = 1; index <= objects.Count; index++) show(objects.Item(index));
}

// One binding: numeric OID, its name from the control's table, type and value.
function show(binding) {
  var label = binding.OIDName + " " + shortName(binding.OIDName) + " " + binding.OIDTypeName + ":";
  if (binding.OIDTypeName == "Counter64") {
    // A Decimal: the host prints it exactly.
    WScript.Echo(label, binding.OIDValue);
    return;
  }
  var value;
  try {
    value = "" + binding.OIDValue;
  } catch (e) {
    // A byte array (StringType 1, Opaque): JScript has no text for it.
    value = "(bytes)";
  }
  WScript.Echo(label + " " + value);
}

// The last label of the OID's dotted name and the numbers after it: "sysDescr.0".
function shortName(oid) {
  var parts = Snmp.OID2Name(oid).split(".");
  var last = parts.length - 1;
  while (last > 0 && /^\d+$/.test(parts[last])) last--;
  return parts.slice(last).join(".");
}

// Bytes as two hexadecimal digits each, separated by spaces.
function hex(bytes) {
  var text = [];
  for (var i = 0; i < bytes.length; i++) {
    text.push((bytes[i] < 16 ? "0" : "") + bytes[i].toString(16));
  }
  return text.join(" ");
}
