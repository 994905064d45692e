// kivOstrel from C++ (late binding): a trap receiver that prints the traps and informs it receives.
//
//   traps.exe [port [seconds [address]]]
//
// Listens on UDP `port` (default 162, where traps are sent; ports below 1024 may need
// administrator rights) of `address` (default: every address of this machine, IPv4 and IPv6)
// for `seconds` (default 60). Send it traps and informs with Net-SNMP, for example:
//
//   snmptrap -v1 -c public 127.0.0.1:162 1.3.6.1.4.1.99999 127.0.0.1 6 17 ''
//   snmptrap -v 2c -c public 127.0.0.1:162 '' 1.3.6.1.4.1.99999.0.17
//   snmpinform -v 2c -c public 127.0.0.1:162 '' 1.3.6.1.4.1.99999.0.17
//
// Each arrives as Response, its bindings in the SNMPv2 notification form: sysUpTime.0,
// snmpTrapOID.0, then the notification's own bindings. An SNMPv1 trap has Command "Trap" and ends
// with its agent address, community and enterprise; an SNMPv2c trap has Command "SNMPv2-Trap"; an
// inform has Command "InformRequest", and the control has acknowledged it already when the
// Response is raised, so the program has nothing to send.
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
      const std::wstring command = a[4].Text();
      std::wstring kind;
      if (command == L"Trap") {
        kind = L"trap";
      } else if (command == L"SNMPv2-Trap") {
        kind = L"SNMPv2 trap";
      } else if (command == L"InformRequest") {
        kind = L"inform " + a[5].Text() + L" (acknowledged)";
      } else {
        return;
      }
      std::wprintf(L"%ls from %ls:%ls, community %ls\n", kind.c_str(), a[0].Text().c_str(),
                   a[1].Text().c_str(), a[3].Text().c_str());
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
