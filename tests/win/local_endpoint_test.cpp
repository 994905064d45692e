// LocalPort and LocalAddress through late binding: found by name after the type library, a put
// rebinds at once (a Ready follows) or raises and leaves the control as it was, and two controls
// talk over IPv6 on ::1.
#include "udp_peer.h"

#include <ole2.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dispatch_client.h"
#include "strict_sink.h"

namespace kivostrel::wintest {
namespace {

constexpr DWORD kEventTimeoutMs = 5000;

const std::vector<std::uint8_t> kSysDescrNull = Hex("30 0C 06 08 2B 06 01 02 01 01 01 00 05 00");

// A control created by its ProgID, ready, with a strict sink that counts Ready and keeps the
// Responses.
struct ReadyControl {
  ComPtr<IDispatch> control = CreateControl();
  StrictSink sink;
  std::vector<ResponseArgs> responses;

  ReadyControl() {
    EXPECT_EQ(sink.Advise(control.get()), S_OK);
    sink.on_ready = [] {};
    sink.on_response = [this](ResponseArgs& args) {
      args.params = nullptr;
      responses.push_back(args);
    };
    EXPECT_TRUE(PumpUntil([&] { return sink.ready_count == 1; }, kEventTimeoutMs));
  }
  ~ReadyControl() {
    sink.Unadvise();
    control.reset();
  }
  long Port() { return LongOf(*Get(control.get(), L"LocalPort").value.get()); }
  long Stat() { return LongOf(*Get(control.get(), L"Stat").value.get()); }
  CallResult SendGetRequest(const std::wstring& host, long port) {
    return Call(control.get(), L"SendGetRequest", Text(host), Text(std::to_wstring(port)),
                Text(L"public"), Long(7), ByteArray(kSysDescrNull));
  }
};

TEST(LocalEndpoint, FoundByNameAfterTheTypeLibrary) {
  ReadyControl ready;
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(ready.control->GetTypeInfo(0, 0, info.Receive()), S_OK);
  DISPID port = 0;
  DISPID address = 0;
  for (const wchar_t* name : {L"LocalPort", L"localport", L"LOCALPORT"}) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    ASSERT_EQ(ready.control->GetIDsOfNames(IID_NULL, names, 1, 0, &port), S_OK) << name;
    MEMBERID in_library = 0;
    EXPECT_EQ(info->GetIDsOfNames(names, 1, &in_library), DISP_E_UNKNOWNNAME) << name;
  }
  LPOLESTR address_name[] = {const_cast<LPOLESTR>(L"localAddress")};
  ASSERT_EQ(ready.control->GetIDsOfNames(IID_NULL, address_name, 1, 0, &address), S_OK);
  EXPECT_NE(port, address);
  LPOLESTR with_named[] = {const_cast<LPOLESTR>(L"LocalPort"), const_cast<LPOLESTR>(L"Port")};
  DISPID ids[2] = {};
  EXPECT_EQ(ready.control->GetIDsOfNames(IID_NULL, with_named, 2, 0, ids), DISP_E_UNKNOWNNAME);

  // By default: every local address, and the port the system chose.
  EXPECT_EQ(TextOf(*Get(ready.control.get(), L"LocalAddress").value.get()), L"");
  EXPECT_GT(ready.Port(), 0);
}

TEST(LocalEndpoint, PutsRebindAtOnceOrRaiseAndChangeNothing) {
  ReadyControl ready;
  UdpPeer peer;
  ASSERT_TRUE(peer.ok());
  const long first = ready.Port();
  const struct {
    const wchar_t* property;
    std::wstring value;
    long error;
    std::wstring said;  // in the description
  } refused[] = {
      {L"LocalPort", L"70000", 6, L"Overflow"},
      {L"LocalPort", L"-1", 6, L"Overflow"},
      {L"LocalPort", L"abc", 13, L"Type mismatch"},
      {L"LocalPort", std::to_wstring(peer.port()), WSAEADDRINUSE,
       L"port " + std::to_wstring(peer.port())},  // held by the peer (on 127.0.0.1)
      {L"LocalAddress", L"192.0.2.1", WSAEADDRNOTAVAIL, L"cannot bind 192.0.2.1 port 0"},
      {L"LocalAddress", L"no such address", WSAEINVAL, L"bad local address 'no such address'"},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(::testing::PrintToString(r.value));
    const CallResult put = Put(ready.control.get(), r.property, Text(r.value));
    EXPECT_EQ(put.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(put.error_number(), r.error);
    EXPECT_NE(put.description.find(r.said), std::wstring::npos)
        << ::testing::PrintToString(put.description);
  }
  EXPECT_EQ(ready.Port(), first);
  EXPECT_EQ(TextOf(*Get(ready.control.get(), L"LocalAddress").value.get()), L"");
  EXPECT_EQ(ready.Stat(), 1);

  // While a send is in flight: "Not Ready".
  ASSERT_TRUE(ready.SendGetRequest(L"127.0.0.1", peer.port()).ok());
  const CallResult busy = Put(ready.control.get(), L"LocalPort", Long(0));
  EXPECT_EQ(busy.error_number(), 20001);
  EXPECT_EQ(busy.description, L"Not Ready");
  std::vector<std::uint8_t> datagram;
  sockaddr_in from{};
  ASSERT_TRUE(peer.Receive(datagram, from, kEventTimeoutMs));
  EXPECT_EQ(ntohs(from.sin_port), first);
  ASSERT_TRUE(PumpUntil([&] { return ready.sink.ready_count == 2; }, kEventTimeoutMs));

  // A free port, as a number: bound at once, then a Ready as after creation; requests leave
  // from there and answers come back.
  const std::uint16_t wanted = UdpPeer().port();  // was free
  ASSERT_EQ(Put(ready.control.get(), L"LocalPort", Long(wanted)).hr, S_OK);
  EXPECT_EQ(ready.Port(), wanted);
  EXPECT_EQ(ready.Stat(), 0);  // until that Ready
  ASSERT_TRUE(PumpUntil([&] { return ready.sink.ready_count == 3; }, kEventTimeoutMs));
  EXPECT_EQ(ready.Stat(), 1);
  ASSERT_TRUE(ready.SendGetRequest(L"127.0.0.1", peer.port()).ok());
  ASSERT_TRUE(peer.Receive(datagram, from, kEventTimeoutMs));
  EXPECT_EQ(ntohs(from.sin_port), wanted);
  EXPECT_TRUE(peer.SendTo(datagram, from));
  ASSERT_TRUE(PumpUntil([&] { return !ready.responses.empty(); }, kEventTimeoutMs));
  EXPECT_EQ(ready.responses[0].remote_ip, L"127.0.0.1");
  EXPECT_EQ(ready.responses[0].remote_port, std::to_wstring(peer.port()));
}

TEST(LocalEndpoint, TwoControlsOverIpv6) {
  ReadyControl agent;  // every local address: IPv6 and IPv4
  ReadyControl manager;
  const CallResult bound = Put(manager.control.get(), L"LocalAddress", Text(L"::1"));
  if (bound.error_number() == WSAEADDRNOTAVAIL || bound.error_number() == WSAEAFNOSUPPORT) {
    GTEST_SKIP() << "no IPv6 loopback here";
  }
  ASSERT_EQ(bound.hr, S_OK);
  EXPECT_EQ(TextOf(*Get(manager.control.get(), L"LocalAddress").value.get()), L"::1");
  ASSERT_TRUE(PumpUntil([&] { return manager.sink.ready_count == 2; }, kEventTimeoutMs));

  ASSERT_TRUE(manager.SendGetRequest(L"::1", agent.Port()).ok());
  ASSERT_TRUE(PumpUntil([&] { return !agent.responses.empty(); }, kEventTimeoutMs));
  EXPECT_EQ(agent.responses[0].remote_ip, L"::1");
  EXPECT_EQ(agent.responses[0].remote_port, std::to_wstring(manager.Port()));
  EXPECT_EQ(agent.responses[0].command, L"GetRequest");
}

}  // namespace
}  // namespace kivostrel::wintest
