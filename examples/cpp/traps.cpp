// kivOstrel from C++ (late binding): a trap receiver that prints the traps it receives.
//
//   traps.exe [port [seconds [address]]]
//
// Listens on UDP `port` (default 162, where traps are sent; ports below 1024 may need
// administrator rights) of `address` (default: every address of this machine, IPv4 and IPv6)
// for `seconds` (default 60). Send it a trap with Net-SNMP, for example:
//
//   snmptrap -v1 -c public 127.0.0.1:162 1.3.6.1.4.1.99999 127.0.0.1 6 17 ''
//
// A trap arrives as Response with Command "Trap", its bindings in the SNMPv2 notification form
// (sysUpTime.0, snmpTrapOID.0, the trap's own bindings, then agent address, community and
// enterprise).
#include <cstdio>
#include <string>

#include "ostrel_late_binding.h"

using namespace ostrel_example;

int wmain(int argc, wchar_t** argv) {
  try {
    ComApartment apartment;
    const std::wstring port = Argument(argc, argv, 1, L"162");
    const DWORD seconds = std::stoul(Argument(argc, argv, 2, L"60"));
    const std::wstring address = Argument(argc, argv, 3, L"");

    const Object snmp = Object::Create(L"kivOstrelCtrl.kivOstrel");
    bool ready = false;
    const auto print = [&](const std::vector<Variant>& a) {
      if (a[4].Text() != L"Trap") return;
      std::wprintf(L"trap from %ls:%ls, community %ls\n", a[0].Text().c_str(), a[1].Text().c_str(),
                   a[3].Text().c_str());
      const Object objects(a[7].Object());
      const long count = objects.Get(L"Count").Long();
      for (long i = 1; i <= count; ++i) {
        const Object binding(objects.Item(i).Object());
        const Variant oid = binding.Get(L"OIDName");
        std::wprintf(L"  %ls %ls: %ls\n", snmp.Call(L"OID2Name", oid).Text().c_str(),
                     binding.Get(L"OIDTypeName").Text().c_str(),
                     binding.Get(L"OIDValue").Text().c_str());
      }
      std::fflush(stdout);
    };
    EventSink sink(snmp, Events{print, [&] { ready = true; }, nullptr});

    Listen(snmp, address, port);
    PumpUntil([&] { return ready; }, 3000);
    std::wprintf(L"listening for traps on port %ld for %lu s\n", snmp.Get(L"LocalPort").Long(),
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
