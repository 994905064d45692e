// Every member of the control called late-bound, with the vectors of the engine's own tests.
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dispatch_client.h"
#include "kivOstrel_h.h"

namespace kivostrel::wintest {
namespace {

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    control_ = CreateControl();
    ASSERT_TRUE(control_) << "cannot create "
                          << "kivOstrelCtrl.kivOstrel";
  }
  ComPtr<IDispatch> control_;
};

std::vector<std::uint8_t> BytesResult(const CallResult& r) {
  EXPECT_EQ(r.hr, S_OK) << "error " << r.error_number();
  EXPECT_EQ(V_VT(r.value.get()), VT_ARRAY | VT_UI1);
  if (V_VT(r.value.get()) == (VT_ARRAY | VT_UI1)) {
    LONG low = -1;
    ::SafeArrayGetLBound(V_ARRAY(r.value.get()), 1, &low);
    EXPECT_EQ(low, 0) << "byte arrays are indexed from 0";
  }
  return BytesOf(*r.value.get());
}

struct ValueCase {
  const wchar_t* method;
  const wchar_t* oid;
  const wchar_t* value;  // null: the method takes the identifier only
  const char* binding;
};

const ValueCase kValueCases[] = {
    {L"SNMPNullValue", L"1.3.6.1.2.1.1.1.0", nullptr, "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"},
    {L"SnmpTimeTicksValue", L"1.3.6.1.2.1.1.3.0", L"12345",
     "30 0E 06 08 2B 06 01 02 01 01 03 00 43 02 30 39"},
    {L"SNMPStringValue", L"1.3.6.1.2.1.1.5.0", L"router",
     "30 12 06 08 2B 06 01 02 01 01 05 00 04 06 72 6F 75 74 65 72"},
    {L"SNMPIntegerValue", L"1.3.6.1.2.1.2.2.1.7.1", L"2",
     "30 0F 06 0A 2B 06 01 02 01 02 02 01 07 01 02 01 02"},
    {L"SNMPCounterValue", L"1.3.6.1.2.1.2.2.1.10.1", L"4294967295",
     "30 13 06 0A 2B 06 01 02 01 02 02 01 0A 01 41 05 00 FF FF FF FF"},
    {L"SnmpGaugeValue", L"1.3.6.1.2.1.2.2.1.5.1", L"100000000",
     "30 12 06 0A 2B 06 01 02 01 02 02 01 05 01 42 04 05 F5 E1 00"},
    {L"SNMPIpAddrValue", L"1.3.6.1.2.1.4.20.1.1.10.0.0.1", L"10.0.0.1",
     "30 15 06 0D 2B 06 01 02 01 04 14 01 01 0A 00 00 01 40 04 0A 00 00 01"},
    {L"SNMPNullValue", L"", nullptr, "30 04 06 00 05 00"},
};

class ValueConstructors : public ControlTest {};

TEST_F(ValueConstructors, ReturnTheEncodedBindingAsAByteArray) {
  for (const auto& c : kValueCases) {
    if (c.binding == nullptr) continue;
    SCOPED_TRACE(::testing::Message() << "oid " << c.oid);
    const CallResult r = c.value == nullptr
                             ? Call(control_.get(), c.method, Text(c.oid))
                             : Call(control_.get(), c.method, Text(c.oid), Text(c.value));
    EXPECT_EQ(HexOf(BytesResult(r)), c.binding);
  }
}

TEST_F(ValueConstructors, BinaryStringTakesItsArrayByValueOrByReference) {
  const auto mac = Hex("00 0C 29 01 02 03");
  const char* expected = "30 14 06 0A 2B 06 01 02 01 02 02 01 06 01 04 06 00 0C 29 01 02 03";
  const wchar_t* oid = L"1.3.6.1.2.1.2.2.1.6.1";

  EXPECT_EQ(
      HexOf(BytesResult(Call(control_.get(), L"SNMPBinStringValue", Text(oid), ByteArray(mac)))),
      expected);

  // VB passes its Byte() variable by reference: the array must come back unchanged.
  UniqueSafeArray array(NewByteArray(mac));
  SAFEARRAY* slot = array.Detach();
  EXPECT_EQ(
      HexOf(BytesResult(Call(control_.get(), L"SNMPBinStringValue", Text(oid), RefToArray(&slot)))),
      expected);
  array = UniqueSafeArray(slot);
  UniqueVariant view;
  V_VT(view.get()) = VT_ARRAY | VT_UI1;
  V_ARRAY(view.get()) = array.Detach();
  EXPECT_EQ(BytesOf(*view.get()), mac);

  EXPECT_EQ(
      HexOf(BytesResult(Call(control_.get(), L"SNMPBinStringValue", Text(oid), ByteArray({})))),
      "30 0E 06 0A 2B 06 01 02 01 02 02 01 06 01 04 00");
}

// VBScript passes a variable by reference as a VT_BYREF | VT_VARIANT that holds the array; the
// control takes that for its by-reference byte array parameters and leaves the variable alone.
TEST_F(ValueConstructors, ArrayInAVariantPassedByReference) {
  const auto mac = Hex("00 0C 29 01 02 03");
  UniqueVariant variable = ByteArray(mac);
  EXPECT_EQ(HexOf(BytesResult(Call(control_.get(), L"SNMPBinStringValue",
                                   Text(L"1.3.6.1.2.1.2.2.1.6.1"), RefTo(variable.get())))),
            "30 14 06 0A 2B 06 01 02 01 02 02 01 06 01 04 06 00 0C 29 01 02 03");
  EXPECT_EQ(V_VT(variable.get()), VT_ARRAY | VT_UI1);
  EXPECT_EQ(BytesOf(*variable.get()), mac);
}

// A String is read as its UTF-16 bytes in every form a host passes it: by value, in a variable
// (VT_BYREF | VT_VARIANT, as script engines pass one) or as a typed reference.
TEST_F(ValueConstructors, AStringInEveryFormIsReadAsItsBytes) {
  UniqueVariant variable = Text(L"AB");
  UniqueBstr text(SysAllocString(L"AB"));
  BSTR slot = text.get();
  UniqueVariant typed_reference;
  V_VT(typed_reference.get()) = VT_BSTR | VT_BYREF;
  V_BSTRREF(typed_reference.get()) = &slot;
  UniqueVariant forms[3];
  forms[0] = Text(L"AB");
  forms[1] = RefTo(variable.get());
  forms[2] = std::move(typed_reference);
  for (UniqueVariant& form : forms) {
    SCOPED_TRACE(V_VT(form.get()));
    EXPECT_EQ(HexOf(BytesResult(
                  Call(control_.get(), L"SNMPBinStringValue", Text(L"1.3"), std::move(form)))),
              "30 09 06 01 2B 04 04 41 00 42 00");
  }
  EXPECT_EQ(TextOf(*variable.get()), L"AB");
  // The same for the send operations' binding lists: taken, not refused with a type mismatch.
  ASSERT_TRUE(
      PumpUntil([&] { return LongOf(*Get(control_.get(), L"Stat").value.get()) == 1; }, 5000));
  EXPECT_EQ(Call(control_.get(), L"SendGetRequest", Text(L"127.0.0.1"), Text(L"9"), Text(L"public"),
                 Long(1), RefTo(variable.get()))
                .hr,
            S_OK);
}

class OidNames : public ControlTest {};

struct TranslationCase {
  const wchar_t* method;
  const wchar_t* input;
  const wchar_t* output;
};

TEST_F(OidNames, TranslateTheLongestKnownPrefix) {
  const TranslationCase cases[] = {
      {L"OID2Name", L"1.3.6.1.2.1.1.3.0", L"iso.org.dod.internet.mgmt.mib.system.sysUpTime.0"},
      {L"OID2Name", L"1.3.6.1.2.1.2.2.1.10.3",
       L"iso.org.dod.internet.mgmt.mib.interfaces.ifTable.ifEntry.ifInOctets.3"},
      {L"OID2Name", L"1.3.6.1.4.1.1.1", L"iso.org.dod.internet.private.enterprises.1.1"},
      {L"OID2Name", L"2.5.4", L"2.5.4"},
      {L"OID2Name", L" 1. 3.", L"iso.org"},
      {L"OID2Name", L"1..3", L"iso..3"},
      {L"OID2Name", L"", L""},
      {L"Name2OID", L"iso.org.dod.internet.mgmt.mib.system.sysUpTime.0", L"1.3.6.1.2.1.1.3.0"},
      {L"Name2OID", L"ISO.ORG.DOD", L"1.3.6"},
      {L"Name2OID", L"sysUpTime.0", L"sysUpTime.0"},
  };
  for (const auto& c : cases) {
    const CallResult r = Call(control_.get(), c.method, Text(c.input));
    ASSERT_EQ(r.hr, S_OK);
    ASSERT_EQ(V_VT(r.value.get()), VT_BSTR);
    EXPECT_EQ(TextOf(*r.value.get()), c.output)
        << "input \"" << ::testing::PrintToString(std::wstring(c.input)) << "\"";
  }
}

// The items of a collection through Count and Item(position).
std::vector<std::wstring> ItemsByPosition(IDispatch* collection) {
  std::vector<std::wstring> items;
  const long count = LongOf(*Get(collection, L"Count").value.get());
  for (long i = 1; i <= count; ++i) {
    items.push_back(TextOf(*Call(collection, L"Item", Long(i)).value.get()));
  }
  return items;
}

std::vector<std::wstring> Found(IDispatch* control, CallResult r) {
  EXPECT_EQ(r.hr, S_OK);
  EXPECT_EQ(V_VT(r.value.get()), VT_DISPATCH);
  (void)control;
  auto collection = ObjectOf(*r.value.get());
  return collection ? ItemsByPosition(collection.get()) : std::vector<std::wstring>{L"<none>"};
}

TEST_F(OidNames, FindNameComparesExactlyUnlessAskedToIgnoreCase) {
  const std::vector<std::wstring> sys_up = {L"iso.org.dod.internet.mgmt.mib.system.sysUpTime"};
  IDispatch* c = control_.get();
  EXPECT_EQ(Found(c, Call(c, L"FindName", Text(L"sysUp"))), sys_up);
  EXPECT_EQ(Found(c, Call(c, L"FindName", Text(L"SYSUP"))), std::vector<std::wstring>{});
  EXPECT_EQ(Found(c, Call(c, L"FindName", Text(L"SYSUP"), Short(0))), std::vector<std::wstring>{});
  EXPECT_EQ(Found(c, Call(c, L"FindName", Text(L"SYSUP"), Short(1))), sys_up);

  // Compare by name, as `FindName "SYSUP", Compare:=1` passes it.
  std::vector<UniqueVariant> args;
  args.push_back(Text(L"SYSUP"));
  args.push_back(Short(1));
  EXPECT_EQ(Found(c, Invoke(c, L"FindName", DISPATCH_METHOD, args, {L"Compare"})), sys_up);

  const std::wstring if_entry = L"iso.org.dod.internet.mgmt.mib.interfaces.ifTable.ifEntry.";
  EXPECT_EQ(Found(c, Call(c, L"FindName", Text(L"ifIn"))),
            (std::vector<std::wstring>{if_entry + L"ifIndex", if_entry + L"ifInOctets",
                                       if_entry + L"ifInUcastPkts", if_entry + L"ifInNUcastPkts",
                                       if_entry + L"ifInDiscards", if_entry + L"ifInErrors",
                                       if_entry + L"ifInUnknownProtos"}));
}

TEST_F(OidNames, TableEditsChangeTheTranslations) {
  IDispatch* c = control_.get();
  ASSERT_EQ(Call(c, L"SetOID", Text(L"1.3.6.1.4.1.99999"),
                 Text(L"iso.org.dod.internet.private.enterprises.kivLab"))
                .hr,
            S_OK);
  EXPECT_EQ(TextOf(*Call(c, L"OID2Name", Text(L"1.3.6.1.4.1.99999.7")).value.get()),
            L"iso.org.dod.internet.private.enterprises.kivLab.7");
  EXPECT_EQ(TextOf(*Call(c, L"Name2OID", Text(L"iso.org.dod.internet.private.enterprises.kivLab.7"))
                        .value.get()),
            L"1.3.6.1.4.1.99999.7");
  ASSERT_EQ(Call(c, L"SetOIDFirst", Text(L"1.3.6.1.4.1.99998"),
                 Text(L"iso.org.dod.internet.private.enterprises.kivFirst"))
                .hr,
            S_OK);
  EXPECT_EQ(Found(c, Call(c, L"FindName", Text(L"kivFirst"))),
            std::vector<std::wstring>{L"iso.org.dod.internet.private.enterprises.kivFirst"});

  ASSERT_EQ(Call(c, L"ClearOID").hr, S_OK);
  EXPECT_EQ(TextOf(*Call(c, L"OID2Name", Text(L"1.3.6.1.2.1.1.3.0")).value.get()),
            L"1.3.6.1.2.1.1.3.0");
  EXPECT_EQ(Found(c, Call(c, L"FindName", Text(L""))), std::vector<std::wstring>{});
}

TEST_F(OidNames, TypeAndErrorStatusNames) {
  const std::pair<const wchar_t*, short> types[] = {
      {L"Integer", 2},       {L"OctetString", 4},  {L"Null", 5},         {L"ObjectID", 6},
      {L"Sequence", 48},     {L"IpAddress", 64},   {L"Counter", 65},     {L"Gauge", 66},
      {L"TimeTicks", 67},    {L"Opaque", 68},      {L"GetRequest", 160}, {L"GetNextRequest", 161},
      {L"GetResponse", 162}, {L"SetRequest", 163}, {L"Trap", 164},       {L"", -1},
      {L"trap", -1},         {L"integer", -1},     {L"Integer ", -1},    {L"OCTETSTRING", -1}};
  for (const auto& [name, id] : types) {
    const CallResult r = Call(control_.get(), L"Name2TypeID", Text(name));
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(V_VT(r.value.get()), VT_I2);
    EXPECT_EQ(V_I2(r.value.get()), id) << ::testing::PrintToString(std::wstring(name));
  }
  const std::pair<short, const wchar_t*> statuses[] = {
      {-1, L"FormatError"}, {0, L"NoError"},      {1, L"TooBig"},
      {2, L"NoSuchName"},   {3, L"BadValue"},     {4, L"ReadOnly"},
      {5, L"GenError"},     {6, L"UnknownError"}, {-2, L"UnknownError"}};
  for (const auto& [status, text] : statuses) {
    const CallResult r = Call(control_.get(), L"Err2Str", Short(status));
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(TextOf(*r.value.get()), text) << status;
  }
}

class Properties : public ControlTest {};

TEST_F(Properties, StartAtTheirInitialValues) {
  IDispatch* c = control_.get();
  EXPECT_EQ(LongOf(*Get(c, L"StringType").value.get()), 0);
  EXPECT_EQ(TextOf(*Get(c, L"AgentAddress").value.get()), L"");
  EXPECT_EQ(LongOf(*Get(c, L"TickCount").value.get()), -1);
  const CallResult stat = Get(c, L"Stat");
  EXPECT_EQ(V_VT(stat.value.get()), VT_I2);
  EXPECT_EQ(V_I2(stat.value.get()), 0) << "ready only after the message loop ran";
  const std::wstring banner = TextOf(*Get(c, L"Copyright").value.get());
  EXPECT_NE(banner.find(L"KIVOSTREL"), std::wstring::npos) << banner;
  EXPECT_NE(banner.find(L"2.04"), std::wstring::npos) << banner;
  EXPECT_NE(banner.find(L"Copyright"), std::wstring::npos) << banner;
}

TEST_F(Properties, PutsStoreWithoutChecking) {
  IDispatch* c = control_.get();
  EXPECT_EQ(Put(c, L"StringType", Long(1)).hr, S_OK);
  EXPECT_EQ(LongOf(*Get(c, L"StringType").value.get()), 1);
  EXPECT_EQ(Put(c, L"StringType", Long(-7)).hr, S_OK);
  EXPECT_EQ(LongOf(*Get(c, L"StringType").value.get()), -7);
  EXPECT_EQ(Put(c, L"AgentAddress", Text(L"not an address")).hr, S_OK);
  EXPECT_EQ(TextOf(*Get(c, L"AgentAddress").value.get()), L"not an address");
  EXPECT_EQ(Put(c, L"TickCount", Long(12345)).hr, S_OK);
  EXPECT_EQ(LongOf(*Get(c, L"TickCount").value.get()), 12345);
  EXPECT_EQ(Put(c, L"TickCount", Long(-1)).hr, S_OK);
  EXPECT_EQ(LongOf(*Get(c, L"TickCount").value.get()), -1);
  // Automation coerces the put's argument to the property's type.
  EXPECT_EQ(Put(c, L"StringType", Text(L"2")).hr, S_OK);
  EXPECT_EQ(LongOf(*Get(c, L"StringType").value.get()), 2);
}

TEST_F(Properties, CopyrightIgnoresPutsAndStatHasNone) {
  IDispatch* c = control_.get();
  const std::wstring banner = TextOf(*Get(c, L"Copyright").value.get());
  EXPECT_EQ(Put(c, L"Copyright", Text(L"someone else")).hr, S_OK);
  EXPECT_EQ(TextOf(*Get(c, L"Copyright").value.get()), banner);
  EXPECT_TRUE(FAILED(Put(c, L"Stat", Short(1)).hr));
  EXPECT_EQ(LongOf(*Get(c, L"Stat").value.get()), 0);
}

class AutomationErrors : public ControlTest {};

TEST_F(AutomationErrors, ConversionErrorsKeepTheirStandardNumbers) {
  struct Case {
    const wchar_t* oid;
    long number;
    const wchar_t* description;
  };
  for (const Case& c : {Case{L"1.x.3", 13, L"Type mismatch"}, Case{L"200", 6, L"Overflow"},
                        Case{L"1.3.-1", 6, L"Overflow"}, Case{L"1.3.2147483648", 6, L"Overflow"}}) {
    const CallResult r = Call(control_.get(), L"SNMPNullValue", Text(c.oid));
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION) << ::testing::PrintToString(std::wstring(c.oid));
    EXPECT_EQ(r.error_number(), c.number);
    EXPECT_TRUE(r.scode == static_cast<HRESULT>(0x800A0000 + c.number) || r.wcode == c.number)
        << std::hex << r.scode << " " << r.wcode;
    EXPECT_EQ(r.description, c.description);
    EXPECT_EQ(r.source, L"kivOstrelCtrl");
  }
}

struct NotReadyCase {
  const wchar_t* method;
  const wchar_t* source;
};

TEST_F(AutomationErrors, SendsBeforeTheSocketIsReadyFailWithNotReady) {
  const NotReadyCase cases[] = {
      {L"SendGetRequest", L"ORVAN:SendGetRequest:m_Ready=0"},
      {L"SendGetNextRequest", L"ORVAN:SendGetNextRequest:m_Ready=0"},
      {L"SendSetRequest", L"ORVAN:SendSetRequest:m_Ready=0"},
      {L"SendGetResponse", L"ORVAN:SendGetResponse:m_Ready=0"},
      {L"SendTrap", L"ORVAN:SendTrap:m_Ready=0"},
  };
  const auto binding = Hex("30 0C 06 08 2B 06 01 02 01 01 01 00 05 00");
  for (const auto& c : cases) {
    const std::wstring method = c.method;
    CallResult r;
    if (method == L"SendGetResponse") {
      r = Call(control_.get(), c.method, Text(L"127.0.0.1"), Text(L"9"), Text(L"public"), Long(1),
               Long(0), Long(0), ByteArray(binding));
    } else if (method == L"SendTrap") {
      r = Call(control_.get(), c.method, Text(L"127.0.0.1"), Text(L"9"), Text(L"public"),
               Text(L"1.3.6.1.4.1.9999"), Short(6), Text(L"1"));
    } else {
      r = Call(control_.get(), c.method, Text(L"127.0.0.1"), Text(L"9"), Text(L"public"), Long(1),
               ByteArray(binding));
    }
    SCOPED_TRACE(::testing::PrintToString(method));
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.error_number(), 20001);
    EXPECT_EQ(r.source, c.source);
    EXPECT_EQ(r.description, L"Not Ready");
  }
  EXPECT_EQ(LongOf(*Get(control_.get(), L"Stat").value.get()), 0);
}

TEST_F(AutomationErrors, TrapBindingsThatAreNoByteArrayFailFirst) {
  const CallResult r =
      Call(control_.get(), L"SendTrap", Text(L"127.0.0.1"), Text(L"9"), Text(L"public"),
           Text(L"1.3.6.1.4.1.9999"), Short(6), Text(L"1"), Long(42));
  EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.error_number(), 13);
}

TEST_F(AutomationErrors, ErrorObjectCarriesSourceAndDescription) {
  auto support = control_.As<ISupportErrorInfo>(IID_ISupportErrorInfo);
  ASSERT_TRUE(support);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__kivOstrel), S_OK);

  ::SetErrorInfo(0, nullptr);
  std::vector<UniqueVariant> args;
  args.push_back(Text(L"1.x.3"));
  const CallResult r =
      Invoke(control_.get(), L"SNMPNullValue", DISPATCH_METHOD, args, {}, /*with_excepinfo=*/false);
  EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
  ComPtr<IErrorInfo> error;
  ASSERT_EQ(::GetErrorInfo(0, error.Receive()), S_OK);
  ASSERT_TRUE(error);
  UniqueBstr source, description;
  EXPECT_EQ(error->GetSource(source.Receive()), S_OK);
  EXPECT_EQ(error->GetDescription(description.Receive()), S_OK);
  EXPECT_STREQ(source.c_str(), L"kivOstrelCtrl");
  EXPECT_STREQ(description.c_str(), L"Type mismatch");
}

}  // namespace
}  // namespace kivostrel::wintest
