// kivOstrel from C++ (late binding): a tiny SNMP agent answering GetRequest for sysDescr and
// sysName.
//
//   agent.exe [port [community [seconds [address]]]]
//
// Answers requests of `community` (default "public") on UDP `port` (default 161, where managers
// send requests; ports below 1024 may need administrator rights) of `address` (default: every
// address of this machine, IPv4 and IPv6) for `seconds` (default 60). Ask it with Net-SNMP:
//
//   snmpget -v1 -c public 127.0.0.1:161 1.3.6.1.2.1.1.5.0
#include <cstdio>
#include <string>

#include "ostrel_late_binding.h"

using namespace ostrel_example;

int wmain(int argc, wchar_t** argv) {
  try {
    ComApartment apartment;
    const std::wstring port = Argument(argc, argv, 1, L"161");
    const std::wstring community = Argument(argc, argv, 2, L"public");
    const DWORD seconds = std::stoul(Argument(argc, argv, 3, L"60"));
    const std::wstring address = Argument(argc, argv, 4, L"");

    const Object snmp = Object::Create(L"kivOstrelCtrl.kivOstrel");
    bool ready = false;
    const auto answer = [&](const std::vector<Variant>& a) {
      // RemoteIP, RemotePort, Version, Community, Command, RequestId, ErrorStatus, Objects, ...
      if (a[4].Text() != L"GetRequest" || a[3].Text() != community) return;
      const Object objects(a[7].Object());
      const std::wstring oid = objects.Get(L"Count").Long() == 1
                                   ? Object(objects.Item(1).Object()).Get(L"OIDName").Text()
                                   : L"";
      long status = 0;
      Variant binding;
      if (oid == L"1.3.6.1.2.1.1.1.0") {
        binding = snmp.Call(L"SNMPStringValue", Variant(oid.c_str()),
                            Variant(L"kivOstrel C++ example agent"));
      } else if (oid == L"1.3.6.1.2.1.1.5.0") {
        binding = snmp.Call(L"SNMPStringValue", Variant(oid.c_str()), Variant(L"kivostrel-agent"));
      } else {
        status = oid.empty() ? 5 : 2;  // genErr for several bindings, else noSuchName
        binding = snmp.Call(L"SNMPNullValue", Variant(oid.empty() ? L"0.0" : oid.c_str()));
      }
      std::wprintf(L"GetRequest %ld for %ls from %ls:%ls -> status %ld\n", a[5].Long(), oid.c_str(),
                   a[0].Text().c_str(), a[1].Text().c_str(), status);
      try {
        snmp.Call(L"SendGetResponse", a[0], a[1], Variant(community.c_str()), Variant(a[5].Long()),
                  Variant(status), Variant(status != 0 ? 1L : 0L), ByRef(binding));
      } catch (const AutomationFailure& failure) {
        // 20001 "Not Ready": the previous answer is still going out.
        std::wprintf(L"not answered: %ls\n", failure.description.c_str());
      }
    };
    EventSink sink(snmp, Events{answer, [&] { ready = true; }, nullptr});

    Listen(snmp, address, port);
    PumpUntil([&] { return ready; }, 3000);
    std::wprintf(L"agent answering on port %ld for %lu s\n", snmp.Get(L"LocalPort").Long(),
                 seconds);
    std::fflush(stdout);
    PumpUntil([] { return false; }, seconds * 1000);
    return 0;
  } catch (const AutomationFailure& failure) {
    std::fwprintf(stderr, L"error 0x%08lX from %ls: %ls\n",
                  static_cast<unsigned long>(failure.code), failure.source.c_str(),
                  failure.description.c_str());
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "error: %s\n", failure.what());
  }
  return 1;
}
