// kivOstrel from C++ (late binding): a small SNMP manager.
//
// Reads sysDescr and sysName in one request, walks the system group, sets sysContact and reads
// it back, then sends a trap.
//
//   manager.exe [agent [port [community [write-community [trap-port]]]]]
//
// Defaults: 127.0.0.1, 161, public, private, 162.
#include <cstdio>
#include <string>

#include "ostrel_late_binding.h"

using namespace ostrel_example;

namespace {

struct Manager {
  Object snmp = Object::Create(L"kivOstrelCtrl.kivOstrel");
  std::wstring agent, port, community, write_community;
  bool ready = false;
  long expected_id = 0;
  bool replied = false;
  long status = 0;
  Object reply;
  EventSink sink{snmp, Events{
                           [this](const std::vector<Variant>& a) {
                             if (a[4].Text() == L"GetResponse" && a[5].Long() == expected_id) {
                               status = a[6].Long();
                               reply = Object(a[7].Object());
                               replied = true;
                             }
                           },
                           [this] { ready = true; },
                           [](long code, const std::wstring& text, const std::wstring& where) {
                             std::wprintf(L"socket error %ld in %ls: %ls\n", code, where.c_str(),
                                          text.c_str());
                           },
                       }};

  void WaitReady() {
    if (!PumpUntil([this] { return ready; }, 3000)) throw std::runtime_error("not ready");
  }

  // Sends GetRequest, GetNextRequest or SetRequest and returns the objects of the answer, or an
  // empty Object after an error status or the time-out.
  Object Request(const wchar_t* member, const std::wstring& to_community, Variant bindings) {
    WaitReady();
    ready = replied = false;
    ++expected_id;
    snmp.Call(member, Variant(agent.c_str()), Variant(port.c_str()), Variant(to_community.c_str()),
              Variant(expected_id), ByRef(bindings));
    if (!PumpUntil([this] { return replied; }, 3000)) {
      std::wprintf(L"no answer from %ls:%ls\n", agent.c_str(), port.c_str());
      return {};
    }
    if (status != 0) {
      std::wprintf(L"error status %ld (%ls)\n", status,
                   snmp.Call(L"Err2Str", Variant(static_cast<short>(status))).Text().c_str());
      return {};
    }
    return reply;
  }

  void Show(const Object& objects) {
    if (objects.get() == nullptr) return;
    const long count = objects.Get(L"Count").Long();
    for (long i = 1; i <= count; ++i) {
      const Object binding(objects.Item(i).Object());
      const std::wstring oid = binding.Get(L"OIDName").Text();
      std::wprintf(L"%ls %ls %ls: %ls\n", oid.c_str(),
                   snmp.Call(L"OID2Name", Variant(oid.c_str())).Text().c_str(),
                   binding.Get(L"OIDTypeName").Text().c_str(),
                   binding.Get(L"OIDValue").Text().c_str());
    }
  }

  Variant Null(const wchar_t* oid) { return snmp.Call(L"SNMPNullValue", Variant(oid)); }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  try {
    ComApartment apartment;
    Manager m;
    m.agent = Argument(argc, argv, 1, L"127.0.0.1");
    m.port = Argument(argc, argv, 2, L"161");
    m.community = Argument(argc, argv, 3, L"public");
    m.write_community = Argument(argc, argv, 4, L"private");
    const std::wstring trap_port = Argument(argc, argv, 5, L"162");

    std::wprintf(L"== get sysDescr and sysName\n");
    m.Show(m.Request(
        L"SendGetRequest", m.community,
        m.snmp.Call(L"JoinBindings", m.Null(L"1.3.6.1.2.1.1.1.0"), m.Null(L"1.3.6.1.2.1.1.5.0"))));

    std::wprintf(L"== walk the system group\n");
    const std::wstring group = L"1.3.6.1.2.1.1.";
    std::wstring oid = L"1.3.6.1.2.1.1";
    for (int step = 0; step < 100; ++step) {
      const Object answer = m.Request(L"SendGetNextRequest", m.community, m.Null(oid.c_str()));
      if (answer.get() == nullptr) break;
      const Object binding(answer.Item(1).Object());
      oid = binding.Get(L"OIDName").Text();
      if (oid.compare(0, group.size(), group) != 0) break;
      m.Show(answer);
    }

    std::wprintf(L"== set sysContact, then get it back\n");
    const wchar_t* sys_contact = L"1.3.6.1.2.1.1.4.0";
    m.Show(m.Request(L"SendSetRequest", m.write_community,
                     m.snmp.Call(L"SNMPStringValue", Variant(sys_contact),
                                 Variant(L"kivOstrel C++ example <ops@example.org>"))));
    m.Show(m.Request(L"SendGetRequest", m.community, m.Null(sys_contact)));

    std::wprintf(L"== send a trap to %ls:%ls\n", m.agent.c_str(), trap_port.c_str());
    Variant extra = m.snmp.Call(L"SNMPStringValue", Variant(L"1.3.6.1.4.1.99999.1"),
                                Variant(L"hello from kivOstrel"));
    m.WaitReady();
    m.ready = false;
    // The optional Objectval is a VARIANT passed by reference.
    VARIANT objectval;
    ::VariantInit(&objectval);
    V_VT(&objectval) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&objectval) = extra.get();
    m.snmp.Invoke(L"SendTrap", DISPATCH_METHOD,
                  {*Variant(m.agent.c_str()).get(), *Variant(trap_port.c_str()).get(),
                   *Variant(m.community.c_str()).get(), *Variant(L"1.3.6.1.4.1.99999").get(),
                   *Variant(static_cast<short>(6)).get(), *Variant(L"17").get(), objectval});
    m.WaitReady();
    std::wprintf(L"trap sent\n");
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
