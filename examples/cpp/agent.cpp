// kivOstrel from C++ (late binding): a tiny SNMP agent for SNMPv1 and SNMPv2c managers.
//
//   agent.exe [port [community [seconds [address]]]]
//
// Answers requests of `community` (default "public") on UDP `port` (default 161, where managers
// send requests; ports below 1024 may need administrator rights) of `address` (default: every
// address of this machine, IPv4 and IPv6) for `seconds` (default 60). It serves four objects:
// sysDescr.0, sysUpTime.0, sysName.0 and ifHCInOctets.1, a Counter64 that only SNMPv2c managers
// see. It answers GetRequest, GetNextRequest and GetBulkRequest, each in the version the request
// came in: an SNMPv2c manager gets noSuchObject, noSuchInstance and endOfMibView where an SNMPv1
// one gets noSuchName, and a GetBulk's repetitions stop at the end of the objects (at 100 at
// most). Ask it with Net-SNMP:
//
//   snmpget -v1 -c public 127.0.0.1:161 1.3.6.1.2.1.1.5.0
//   snmpget -v2c -c public 127.0.0.1:161 1.3.6.1.2.1.1.5.0 1.3.6.1.2.1.31.1.1.1.6.1
//   snmpbulkget -v2c -c public -Cn0 -Cr10 127.0.0.1:161 1.3.6.1.2.1.1
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <sstream>
#include <string>
#include <vector>

#include "ostrel_late_binding.h"

using namespace ostrel_example;

namespace {

const wchar_t* const kIfHCInOctets1 = L"1.3.6.1.2.1.31.1.1.1.6.1";
// In OID order, the order GetNext and GetBulk walk them in.
const wchar_t* const kServed[] = {L"1.3.6.1.2.1.1.1.0", L"1.3.6.1.2.1.1.3.0", L"1.3.6.1.2.1.1.5.0",
                                  kIfHCInOctets1};
constexpr long kNoSuchName = 2;
// A GetBulk's repetitions at most: the answer must fit one datagram (RFC 3416 4.2.3), and no
// max-repetitions, up to 2147483647, may keep the agent busy.
constexpr long kMaxRepetitions = 100;

std::vector<unsigned long> Arcs(const std::wstring& oid) {
  std::vector<unsigned long> arcs;
  std::wistringstream in(oid);
  std::wstring arc;
  while (std::getline(in, arc, L'.')) arcs.push_back(std::wcstoul(arc.c_str(), nullptr, 10));
  return arcs;
}

// Whether the agent serves `oid` to a manager of `version`: SNMPv1 has no Counter64.
bool Known(const std::wstring& oid, long version) {
  const bool served = std::find(std::begin(kServed), std::end(kServed), oid) != std::end(kServed);
  return served && (version == 1 || oid != kIfHCInOctets1);
}

// The first object after `oid` that this version sees, or "" after the last.
std::wstring NextOid(const std::wstring& oid, long version) {
  for (const wchar_t* served : kServed) {
    if (Arcs(served) > Arcs(oid) && Known(served, version)) return served;
  }
  return {};
}

// What an SNMPv2c agent answers for an object it does not serve: noSuchInstance where the
// object is served with another instance (sysDescr.1), else noSuchObject.
const wchar_t* MissingValue(const std::wstring& oid) {
  std::vector<unsigned long> object = Arcs(oid);
  object.pop_back();
  for (const wchar_t* served : kServed) {
    std::vector<unsigned long> arcs = Arcs(served);
    arcs.pop_back();
    if (arcs == object) return L"SNMPNoSuchInstanceValue";
  }
  return L"SNMPNoSuchObjectValue";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  try {
    ComApartment apartment;
    const std::wstring port = Argument(argc, argv, 1, L"161");
    const std::wstring community = Argument(argc, argv, 2, L"public");
    const DWORD seconds = std::stoul(Argument(argc, argv, 3, L"60"));
    const std::wstring address = Argument(argc, argv, 4, L"");
    const ULONGLONG started = ::GetTickCount64();

    const Object snmp = Object::Create(L"kivOstrelCtrl.kivOstrel");
    const auto value_of = [&](const std::wstring& oid) {
      const Variant name(oid.c_str());
      if (oid == L"1.3.6.1.2.1.1.1.0") {
        return snmp.Call(L"SNMPStringValue", name, Variant(L"kivOstrel C++ example agent"));
      }
      if (oid == L"1.3.6.1.2.1.1.3.0") {
        const std::wstring ticks = std::to_wstring((::GetTickCount64() - started) / 10);
        return snmp.Call(L"SnmpTimeTicksValue", name, Variant(ticks.c_str()));
      }
      if (oid == kIfHCInOctets1) {
        return snmp.Call(L"SNMPCounter64Value", name, Variant(L"12345678901234567890"));
      }
      return snmp.Call(L"SNMPStringValue", name, Variant(L"kivostrel-agent"));
    };

    bool ready = false;
    const auto answer = [&](const std::vector<Variant>& a) {
      // RemoteIP, RemotePort, Version, Community, Command, RequestId, ErrorStatus, Objects, ...
      const long version = a[2].Long();
      const std::wstring command = a[4].Text();
      if (a[3].Text() != community || version > 1) return;
      // An answer goes out in the version of its request.
      snmp.Put(L"SnmpVersion", Variant(version));
      const Object objects(a[7].Object());
      std::vector<std::wstring> asked;
      for (long i = 1, count = objects.Get(L"Count").Long(); i <= count; ++i) {
        asked.push_back(Object(objects.Item(i).Object()).Get(L"OIDName").Text());
      }
      Variant list = snmp.Call(L"JoinBindings");
      const auto add = [&](const Variant& binding) {
        list = snmp.Call(L"JoinBindings", ByRef(list), binding);
      };
      long status = 0;
      long failed = 0;
      // Past the last object an SNMPv2c manager is told endOfMibView, so that its walk ends;
      // an SNMPv1 one noSuchName.
      const auto end_of_view = [&](const std::wstring& oid) {
        return snmp.Call(L"SNMPEndOfMibViewValue", Variant(oid.c_str()));
      };
      if (command == L"GetRequest" || command == L"GetNextRequest") {
        for (std::size_t i = 0; i < asked.size(); ++i) {
          const bool next = command == L"GetNextRequest";
          const std::wstring oid = next ? NextOid(asked[i], version) : asked[i];
          if (Known(oid, version)) {
            add(value_of(oid));
          } else if (version == 1) {
            add(next ? end_of_view(asked[i])
                     : snmp.Call(MissingValue(asked[i]), Variant(asked[i].c_str())));
          } else {
            add(snmp.Call(L"SNMPNullValue", Variant(asked[i].c_str())));
            if (failed == 0) failed = static_cast<long>(i) + 1;
          }
        }
        if (failed != 0) status = kNoSuchName;
      } else if (command == L"GetBulkRequest") {
        // Non-repeaters arrive as the error status, max-repetitions as ErrorIndex. The
        // repetitions stop once every repeater is past the last object.
        const std::size_t first = std::min<std::size_t>(
            static_cast<std::size_t>(std::max(a[6].Long(), 0L)), asked.size());
        std::vector<std::wstring> last = asked;  // what each binding names past the end
        std::vector<std::wstring> next;
        for (const std::wstring& oid : asked) next.push_back(NextOid(oid, version));
        for (std::size_t i = 0; i < first; ++i) {
          add(next[i].empty() ? end_of_view(asked[i]) : value_of(next[i]));
        }
        const long repetitions = std::clamp(snmp.Get(L"ErrorIndex").Long(), 0L, kMaxRepetitions);
        for (long repeat = 0; repeat < repetitions && first < next.size(); ++repeat) {
          bool moved = false;
          for (std::size_t i = first; i < next.size(); ++i) {
            if (next[i].empty()) {
              add(end_of_view(last[i]));
              continue;
            }
            add(value_of(next[i]));
            last[i] = next[i];
            next[i] = NextOid(next[i], version);
            moved = true;
          }
          if (!moved) break;
        }
      } else {
        return;
      }
      std::wstring names;
      for (const std::wstring& oid : asked) names += L" " + oid;
      std::wprintf(L"%ls %ld (%ls) for%ls from %ls:%ls -> status %ld\n", command.c_str(),
                   a[5].Long(), version == 0 ? L"SNMPv1" : L"SNMPv2c", names.c_str(),
                   a[0].Text().c_str(), a[1].Text().c_str(), status);
      std::fflush(stdout);
      try {
        snmp.Call(L"SendGetResponse", a[0], a[1], Variant(community.c_str()), Variant(a[5].Long()),
                  Variant(status), Variant(failed), ByRef(list));
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
