// SNMPv3 under the User-based Security Model: kivOstrel side by side with Net-SNMP's libsnmp,
// for SHA/AES and SHA-256/AES (HMAC-192-SHA-256 with AES-128).
//
//   building a GetRequest for 1.3.6.1.2.1.1.1.0, authenticated and encrypted, for an agent whose
//   engine ID, boots and time are known and whose keys are localised already: Usm::Protect
//   beside snmp_pdu_create + snmp_add_null_var + snmp_build with the user in libsnmp's user list;
//
//   the agent's Response to it (sysDescr.0, a string), the same datagram for both: verified,
//   decrypted and decoded, every row read (Usm::Process, then the decoder of received messages
//   on the PDU) beside snmp_parse into a fresh PDU and snmp_free_pdu.
//
// Each side's output is checked against the other before timing: the agent accepts both
// requests, and both managers accept the Response.
#include <benchmark/benchmark.h>

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/snmpusm.h>
// clang-format on

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "encoding/message_decoder.h"
#include "encoding/messages.h"
#include "encoding/v3_message.h"
#include "encoding/value_constructors.h"
#include "security/openssl/openssl_crypto.h"
#include "security/usm.h"

namespace {

using namespace kivostrel;

// As Net-SNMP makes them: 0x80, its enterprise number, format 3 (a MAC address).
const Bytes kAgentId{0x80, 0x00, 0x1f, 0x88, 0x03, 0x52, 0x54, 0x00, 0x12, 0x34, 0x56};
const Bytes kManagerId{0x80, 0x00, 0x1f, 0x88, 0x03, 0x52, 0x54, 0x00, 0x65, 0x43, 0x21};
constexpr std::int32_t kAgentBoots = 3;
constexpr std::int32_t kAgentTime = 86400;
constexpr std::string_view kSysDescr = "1.3.6.1.2.1.1.1.0";
constexpr std::string_view kDescription =
    "Linux agent 6.1.0-18-amd64 #1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1 x86_64";

struct Suite {
  std::string_view user;
  std::string_view auth;  // kivOstrel's name
  const oid* libsnmp_auth;
  std::size_t libsnmp_auth_size;
  std::string_view auth_password;
  std::string_view priv_password;
};
const Suite kShaAes{.user = "bench-sha-aes",
                    .auth = "SHA",
                    .libsnmp_auth = usmHMACSHA1AuthProtocol,
                    .libsnmp_auth_size = USM_AUTH_PROTO_SHA_LEN,
                    .auth_password = "bench-auth-password",
                    .priv_password = "bench-priv-password"};
const Suite kSha256Aes{.user = "bench-sha256-aes",
                       .auth = "SHA-256",
                       .libsnmp_auth = usmHMAC192SHA256AuthProtocol,
                       .libsnmp_auth_size = OID_LENGTH(usmHMAC192SHA256AuthProtocol),
                       .auth_password = "bench-auth-password",
                       .priv_password = "bench-priv-password"};

// The engines' clock: the agent's is set so that its time is kAgentTime.
std::int64_t g_seconds = 0;
std::int64_t Seconds() {
  return g_seconds;
}

const Crypto& TheCrypto() {
  static const OpenSslCrypto crypto;
  return crypto;
}

// An engine of kivOstrel's that knows the suite's user.
std::unique_ptr<Usm> EngineWith(const Suite& s, const Bytes& id) {
  auto usm = std::make_unique<Usm>(TheCrypto(), Seconds, id);
  usm->users().Add(s.user, s.auth, s.auth_password, "AES", s.priv_password);
  return usm;
}

// The agent of these benchmarks: its engine ID, boots and time.
std::unique_ptr<Usm> Agent(const Suite& s) {
  g_seconds = 0;
  auto agent = EngineWith(s, kAgentId);
  agent->set_boots(kAgentBoots);
  g_seconds = kAgentTime;
  return agent;
}

OutgoingV3 Request(const Usm& manager, const Suite& s, const Bytes& bindings) {
  return {.message_id = 1001,
          .reportable = true,
          .level = kFlagAuth | kFlagPriv,
          .user = manager.users().Find(s.user),
          .engine_id = kAgentId,
          .boots = kAgentBoots,
          .time = kAgentTime,
          .context_engine_id = kAgentId,
          .pdu = {.pdu = kTagGetRequest, .request_id = 7, .bindings = bindings}};
}

// The agent's Response to the GetRequest, as its Usm protects it.
Bytes Response(const Suite& s) {
  const auto agent = Agent(s);
  const Bytes bindings = SNMPStringValue(kSysDescr, kDescription);
  return agent->Protect({.message_id = 1001,
                         .level = kFlagAuth | kFlagPriv,
                         .user = agent->users().Find(s.user),
                         .engine_id = kAgentId,
                         .boots = kAgentBoots,
                         .time = kAgentTime,
                         .context_engine_id = kAgentId,
                         .pdu = {.pdu = kTagGetResponse, .request_id = 7, .bindings = bindings}});
}

// libsnmp: its library set up once, without configuration files or persistent state; each
// suite's user in its user list for the agent's engine, keys localised, and the agent's boots
// and time known, so that no password is hashed while timing.
void LibsnmpUser(const Suite& s) {
  static bool initialised = false;
  if (!initialised) {
    setenv("MIBS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    init_snmp("kivostrel_bench");
    set_enginetime(kAgentId.data(), kAgentId.size(), kAgentBoots, kAgentTime, TRUE);
    initialised = true;
  }
  const std::string name(s.user);
  if (usm_get_user(kAgentId.data(), kAgentId.size(), name.c_str()) != nullptr) return;
  const auto localised = [&s](std::string_view password, std::size_t* size) {
    u_char ku[SNMP_MAXBUF_SMALL];
    std::size_t ku_size = sizeof ku;
    std::string text(password);
    auto* kul = static_cast<u_char*>(std::malloc(SNMP_MAXBUF_SMALL));
    *size = SNMP_MAXBUF_SMALL;
    if (generate_Ku(s.libsnmp_auth, s.libsnmp_auth_size, reinterpret_cast<u_char*>(text.data()),
                    text.size(), ku, &ku_size) != SNMPERR_SUCCESS ||
        generate_kul(s.libsnmp_auth, s.libsnmp_auth_size, kAgentId.data(), kAgentId.size(), ku,
                     ku_size, kul, size) != SNMPERR_SUCCESS) {
      std::abort();
    }
    return kul;
  };
  usmUser* user = usm_create_user();
  user->engineID = static_cast<u_char*>(netsnmp_memdup(kAgentId.data(), kAgentId.size()));
  user->engineIDLen = kAgentId.size();
  user->name = strdup(name.c_str());
  user->secName = strdup(name.c_str());
  user->authProtocol = snmp_duplicate_objid(s.libsnmp_auth, s.libsnmp_auth_size);
  user->authProtocolLen = s.libsnmp_auth_size;
  user->authKey = localised(s.auth_password, &user->authKeyLen);
  user->privProtocol = snmp_duplicate_objid(usmAESPrivProtocol, USM_PRIV_PROTO_AES_LEN);
  user->privProtocolLen = USM_PRIV_PROTO_AES_LEN;
  user->privKey = localised(s.priv_password, &user->privKeyLen);
  user->userStatus = RS_ACTIVE;
  user->userStorageType = ST_READONLY;
  usm_add_user(user);
}

// A manager's session for the suite's user at authPriv, for building and parsing.
netsnmp_session LibsnmpSession(const Suite& s) {
  LibsnmpUser(s);
  netsnmp_session session;
  snmp_sess_init(&session);
  session.version = SNMP_VERSION_3;
  static std::string names[2];
  std::string& name = names[&s == &kShaAes ? 0 : 1];
  name = s.user;
  session.securityName = name.data();
  session.securityNameLen = name.size();
  session.securityLevel = SNMP_SEC_LEVEL_AUTHPRIV;
  session.securityModel = SNMP_SEC_MODEL_USM;
  session.securityAuthProto = const_cast<oid*>(s.libsnmp_auth);
  session.securityAuthProtoLen = s.libsnmp_auth_size;
  session.securityPrivProto = usmAESPrivProtocol;
  session.securityPrivProtoLen = USM_PRIV_PROTO_AES_LEN;
  session.securityEngineID = const_cast<u_char*>(kAgentId.data());
  session.securityEngineIDLen = kAgentId.size();
  session.contextEngineID = const_cast<u_char*>(kAgentId.data());
  session.contextEngineIDLen = kAgentId.size();
  static char no_context[] = "";
  session.contextName = no_context;
  session.contextNameLen = 0;
  return session;
}

// One GetRequest from libsnmp, as timed below; the size of the datagram, 0 on failure.
std::size_t LibsnmpBuild(netsnmp_session& session, u_char** buffer, std::size_t* capacity) {
  const oid sys_descr[] = {1, 3, 6, 1, 2, 1, 1, 1, 0};
  netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
  pdu->version = SNMP_VERSION_3;
  pdu->reqid = 7;
  pdu->msgid = 1001;
  snmp_add_null_var(pdu, sys_descr, sizeof sys_descr / sizeof sys_descr[0]);
  std::size_t offset = 0;
  const int status = snmp_build(buffer, capacity, &offset, &session, pdu);
  snmp_free_pdu(pdu);
  return status == 0 ? offset : 0;
}

// Whether the agent accepts a request as a GetRequest of the suite's user at authPriv.
bool AgentAccepts(const Suite& s, std::span<const std::uint8_t> datagram) {
  const auto agent = Agent(s);
  const IncomingV3 in = agent->Process(datagram);
  return in.error == UsmError::kNone && in.scoped && in.scoped->pdu_tag == kTagGetRequest &&
         in.message->flags == (kFlagAuth | kFlagPriv | kFlagReportable) &&
         in.user == agent->users().Find(s.user);
}

void OstrelProtect(benchmark::State& state, const Suite& s) {
  const auto manager = EngineWith(s, kManagerId);
  const Bytes bindings = SNMPNullValue(kSysDescr);
  const OutgoingV3 request = Request(*manager, s, bindings);
  if (!AgentAccepts(s, manager->Protect(request))) state.SkipWithError("the agent refuses it");
  const std::size_t localisations = manager->users().localisations();
  for (auto _ : state) {
    Bytes message = manager->Protect(request);
    benchmark::DoNotOptimize(message.data());
  }
  // The keys were localised for the agent's engine before the loop, and only then.
  if (manager->users().localisations() != localisations || localisations != 1) {
    state.SkipWithError("keys localised again");
  }
}

void LibsnmpBuildGetRequest(benchmark::State& state, const Suite& s) {
  netsnmp_session session = LibsnmpSession(s);
  std::size_t capacity = 1024;
  auto* buffer = static_cast<u_char*>(std::malloc(capacity));
  std::size_t size = LibsnmpBuild(session, &buffer, &capacity);
  // snmp_build writes from the end of its buffer.
  if (size == 0 || !AgentAccepts(s, {buffer + capacity - size, size})) {
    state.SkipWithError("the agent refuses libsnmp's request");
  }
  for (auto _ : state) {
    size = LibsnmpBuild(session, &buffer, &capacity);
    if (size == 0) state.SkipWithError("snmp_build failed");
    benchmark::DoNotOptimize(buffer);
  }
  std::free(buffer);
}

void OstrelProcessResponse(benchmark::State& state, const Suite& s) {
  const Bytes datagram = Response(s);
  const auto manager = EngineWith(s, kManagerId);
  const auto read = [&manager](std::span<const std::uint8_t> bytes) {
    const IncomingV3 in = manager->Process(bytes);
    if (in.error != UsmError::kNone) return ReceivedMessage{};
    return DecodeReceivedPdu(in.scoped->pdu, 0);
  };
  const ReceivedMessage first = read(datagram);
  if (first.Command != "GetResponse" || first.Objects.size() != 1 ||
      first.Objects[0].OIDValue != Variant(std::string(kDescription))) {
    state.SkipWithError("kivOstrel refuses the Response");
  }
  for (auto _ : state) {
    const ReceivedMessage message = read(datagram);
    for (const OstrelObject& row : message.Objects) {
      benchmark::DoNotOptimize(row.OIDName.data());
      benchmark::DoNotOptimize(row.OIDTypeName.data());
      benchmark::DoNotOptimize(row.OIDValue);
    }
  }
}

void LibsnmpParseResponse(benchmark::State& state, const Suite& s) {
  const Bytes datagram = Response(s);
  netsnmp_session session = LibsnmpSession(s);
  // snmp_parse zeroes the digest in the buffer it is given: each parse gets the datagram anew,
  // as from a socket.
  Bytes received(datagram.size());
  const auto parse = [&session, &datagram, &received] {
    std::memcpy(received.data(), datagram.data(), datagram.size());
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_RESPONSE);
    const int status = snmp_parse(nullptr, &session, pdu, received.data(), received.size());
    return std::pair(status, pdu);
  };
  {
    const auto [status, pdu] = parse();
    const netsnmp_variable_list* value = pdu->variables;
    if (status != 0 || pdu->command != SNMP_MSG_RESPONSE || value == nullptr ||
        value->type != ASN_OCTET_STR ||
        std::string_view(reinterpret_cast<const char*>(value->val.string), value->val_len) !=
            kDescription) {
      state.SkipWithError("libsnmp refuses the Response");
    }
    snmp_free_pdu(pdu);
  }
  for (auto _ : state) {
    const auto [status, pdu] = parse();
    if (status != 0) state.SkipWithError("snmp_parse failed");
    benchmark::DoNotOptimize(pdu->variables);
    snmp_free_pdu(pdu);
  }
}

void BM_Ostrel_V3ProtectGetRequest_ShaAes(benchmark::State& state) {
  OstrelProtect(state, kShaAes);
}
void BM_Libsnmp_V3BuildGetRequest_ShaAes(benchmark::State& state) {
  LibsnmpBuildGetRequest(state, kShaAes);
}
void BM_Ostrel_V3ProtectGetRequest_Sha256Aes(benchmark::State& state) {
  OstrelProtect(state, kSha256Aes);
}
void BM_Libsnmp_V3BuildGetRequest_Sha256Aes(benchmark::State& state) {
  LibsnmpBuildGetRequest(state, kSha256Aes);
}
void BM_Ostrel_V3ProcessResponse_ShaAes(benchmark::State& state) {
  OstrelProcessResponse(state, kShaAes);
}
void BM_Libsnmp_V3ParseResponse_ShaAes(benchmark::State& state) {
  LibsnmpParseResponse(state, kShaAes);
}
void BM_Ostrel_V3ProcessResponse_Sha256Aes(benchmark::State& state) {
  OstrelProcessResponse(state, kSha256Aes);
}
void BM_Libsnmp_V3ParseResponse_Sha256Aes(benchmark::State& state) {
  LibsnmpParseResponse(state, kSha256Aes);
}
BENCHMARK(BM_Ostrel_V3ProtectGetRequest_ShaAes);
BENCHMARK(BM_Libsnmp_V3BuildGetRequest_ShaAes);
BENCHMARK(BM_Ostrel_V3ProtectGetRequest_Sha256Aes);
BENCHMARK(BM_Libsnmp_V3BuildGetRequest_Sha256Aes);
BENCHMARK(BM_Ostrel_V3ProcessResponse_ShaAes);
BENCHMARK(BM_Libsnmp_V3ParseResponse_ShaAes);
BENCHMARK(BM_Ostrel_V3ProcessResponse_Sha256Aes);
BENCHMARK(BM_Libsnmp_V3ParseResponse_Sha256Aes);

// The keys of a user are localised once per engine: the first message to an engine pays for it
// (here each iteration's engine is new), every later one finds them cached (above).
void BM_Ostrel_V3ProtectToNewEngine_ShaAes(benchmark::State& state) {
  const auto manager = EngineWith(kShaAes, kManagerId);
  const Bytes bindings = SNMPNullValue(kSysDescr);
  OutgoingV3 request = Request(*manager, kShaAes, bindings);
  Bytes engine = kAgentId;
  std::uint32_t count = 0;
  for (auto _ : state) {
    ++count;
    std::memcpy(engine.data() + engine.size() - sizeof count, &count, sizeof count);
    request.engine_id = engine;
    Bytes message = manager->Protect(request);
    benchmark::DoNotOptimize(message.data());
  }
  if (manager->users().localisations() != count) state.SkipWithError("keys not localised");
}
BENCHMARK(BM_Ostrel_V3ProtectToNewEngine_ShaAes);

}  // namespace
