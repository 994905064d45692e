// Saving and loading the one persisted property, "StringType", through a property bag of the
// test's own and through a stream.
#include <ocidl.h>
#include <ole2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "dispatch_client.h"
#include "kivOstrel_h.h"

namespace kivostrel::wintest {
namespace {

// A property bag that keeps what is written, VARIANT type included, and hands entries back as
// stored, whatever type the reader asks for.
class RecordingBag final : public IPropertyBag {
 public:
  std::map<std::wstring, UniqueVariant> entries;
  std::vector<std::wstring> reads;

  void Set(const wchar_t* name, UniqueVariant value) { entries[name] = std::move(value); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IPropertyBag)) {
      *out = static_cast<IPropertyBag*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }

  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    if (name == nullptr || value == nullptr) return E_POINTER;
    reads.emplace_back(name);
    const auto found = entries.find(name);
    if (found == entries.end()) return E_INVALIDARG;
    ::VariantClear(value);
    return ::VariantCopy(value, found->second.get());
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
    if (name == nullptr || value == nullptr) return E_POINTER;
    UniqueVariant copy;
    const HRESULT hr = ::VariantCopy(copy.get(), value);
    if (SUCCEEDED(hr)) entries[name] = std::move(copy);
    return hr;
  }
  ULONG references() const noexcept { return references_; }

 private:
  ULONG references_ = 0;
};

class Persistence : public ::testing::Test {
 protected:
  static ComPtr<IDispatch> NewControl() {
    auto control = CreateControl();
    EXPECT_TRUE(control);
    return control;
  }
  static long StringType(IDispatch* control) {
    return LongOf(*Get(control, L"StringType").value.get());
  }
  static HRESULT LoadFromBag(IDispatch* control, RecordingBag& bag) {
    auto persist =
        ComPtr<IDispatch>::Share(control).As<IPersistPropertyBag>(IID_IPersistPropertyBag);
    EXPECT_TRUE(persist);
    return persist ? persist->Load(&bag, nullptr) : E_NOINTERFACE;
  }
  static void ExpectOnlyStringTypeKept(IDispatch* loaded) {
    EXPECT_EQ(StringType(loaded), 1);
    EXPECT_EQ(TextOf(*Get(loaded, L"AgentAddress").value.get()), L"");
    EXPECT_EQ(LongOf(*Get(loaded, L"TickCount").value.get()), -1);
  }
  // A control whose every property differs from its initial value.
  static ComPtr<IDispatch> ChangedControl() {
    auto control = NewControl();
    EXPECT_EQ(Put(control.get(), L"StringType", Long(1)).hr, S_OK);
    EXPECT_EQ(Put(control.get(), L"AgentAddress", Text(L"10.0.0.1")).hr, S_OK);
    EXPECT_EQ(Put(control.get(), L"TickCount", Long(12345)).hr, S_OK);
    return control;
  }
};

TEST_F(Persistence, BagRoundTripKeepsOnlyStringType) {
  auto saved = ChangedControl();
  auto persist = saved.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
  ASSERT_TRUE(persist);
  CLSID clsid{};
  EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(::IsEqualCLSID(clsid, CLSID_kivOstrel));

  RecordingBag bag;
  ASSERT_EQ(persist->Save(&bag, TRUE, TRUE), S_OK);
  ASSERT_EQ(bag.entries.size(), 1u) << "only StringType is persisted";
  ASSERT_EQ(bag.entries.count(L"StringType"), 1u);
  const VARIANT& written = *bag.entries[L"StringType"].get();
  EXPECT_EQ(V_VT(&written), VT_I4);
  EXPECT_EQ(V_I4(&written), 1);

  auto loaded = NewControl();
  ASSERT_EQ(LoadFromBag(loaded.get(), bag), S_OK);
  ExpectOnlyStringTypeKept(loaded.get());
  EXPECT_EQ(bag.reads, std::vector<std::wstring>{L"StringType"});
  EXPECT_EQ(bag.references(), 0u);
}

TEST_F(Persistence, BagWithoutTheEntryGivesZero) {
  RecordingBag empty;
  auto loaded = NewControl();
  EXPECT_EQ(LoadFromBag(loaded.get(), empty), S_OK);
  EXPECT_EQ(StringType(loaded.get()), 0);
  EXPECT_EQ(empty.reads, std::vector<std::wstring>{L"StringType"});
}

UniqueVariant Double(double value) {
  UniqueVariant v;
  V_VT(v.get()) = VT_R8;
  V_R8(v.get()) = value;
  return v;
}

// What a bag may hold under "StringType": automation's conversion to a 32-bit integer.
struct StoredCase {
  const char* what;
  UniqueVariant (*make)();
  long expected;  // what StringType becomes
  HRESULT hr;     // what Load answers; on failure StringType keeps its value
};

const StoredCase kStoredCases[] = {
    {"text 1", [] { return Text(L"1"); }, 1, S_OK},
    {"text 0", [] { return Text(L"0"); }, 0, S_OK},
    {"short 1", [] { return Short(1); }, 1, S_OK},
    {"long 7", [] { return Long(7); }, 7, S_OK},
    {"double 2.5 rounds to even", [] { return Double(2.5); }, 2, S_OK},
    {"double 3.5 rounds to even", [] { return Double(3.5); }, 4, S_OK},
    {"double 1.5", [] { return Double(1.5); }, 2, S_OK},
    {"text 2.5 rounds to even", [] { return Text(L"2.5"); }, 2, S_OK},
    {"text with blanks and sign", [] { return Text(L" -12 "); }, -12, S_OK},
    {"text with an exponent", [] { return Text(L"1e3"); }, 1000, S_OK},
    {"empty", [] { return UniqueVariant(); }, 0, S_OK},
    {"text abc", [] { return Text(L"abc"); }, 3, DISP_E_TYPEMISMATCH},
    {"empty text", [] { return Text(L""); }, 3, DISP_E_TYPEMISMATCH},
    {"two numbers", [] { return Text(L"1 2"); }, 3, DISP_E_TYPEMISMATCH},
    {"bytes", [] { return ByteArray({1}); }, 3, DISP_E_TYPEMISMATCH},
    {"text past 32 bits", [] { return Text(L"3000000000"); }, 3, DISP_E_OVERFLOW},
    {"double rounding past 32 bits", [] { return Double(-2147483648.6); }, 3, DISP_E_OVERFLOW},
    {"double beyond 32 bits", [] { return Double(1e12); }, 3, DISP_E_OVERFLOW},
};

TEST_F(Persistence, StoredValuesAreCoercedToLongOrFailTheLoad) {
  for (const auto& c : kStoredCases) {
    SCOPED_TRACE(c.what);
    RecordingBag bag;
    bag.Set(L"StringType", c.make());
    auto loaded = NewControl();
    ASSERT_EQ(Put(loaded.get(), L"StringType", Long(3)).hr, S_OK);
    EXPECT_EQ(LoadFromBag(loaded.get(), bag), c.hr);
    EXPECT_EQ(StringType(loaded.get()), c.expected);
  }
}

TEST_F(Persistence, StreamRoundTripKeepsOnlyStringType) {
  auto saved = ChangedControl();
  auto persist = saved.As<IPersistStreamInit>(IID_IPersistStreamInit);
  ASSERT_TRUE(persist);
  ComPtr<IStream> stream;
  ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive()), S_OK);
  ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
  ULARGE_INTEGER size_max{};
  EXPECT_EQ(persist->GetSizeMax(&size_max), S_OK);
  LARGE_INTEGER start{};
  ULARGE_INTEGER written{};
  ASSERT_EQ(stream->Seek(start, STREAM_SEEK_CUR, &written), S_OK);
  EXPECT_GT(written.QuadPart, 0u);
  EXPECT_LE(written.QuadPart, size_max.QuadPart);
  ASSERT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);

  auto loaded = NewControl();
  auto load = loaded.As<IPersistStreamInit>(IID_IPersistStreamInit);
  ASSERT_TRUE(load);
  ASSERT_EQ(load->Load(stream.get()), S_OK);
  ExpectOnlyStringTypeKept(loaded.get());
  // The whole saved value was read.
  ULARGE_INTEGER position{};
  ASSERT_EQ(stream->Seek(start, STREAM_SEEK_CUR, &position), S_OK);
  EXPECT_EQ(position.QuadPart, written.QuadPart);
}

TEST_F(Persistence, NewControlFromInitNewKeepsItsInitialValues) {
  auto control = NewControl();
  auto persist = control.As<IPersistStreamInit>(IID_IPersistStreamInit);
  ASSERT_TRUE(persist);
  EXPECT_EQ(persist->InitNew(), S_OK);
  EXPECT_EQ(StringType(control.get()), 0);
  EXPECT_EQ(LongOf(*Get(control.get(), L"TickCount").value.get()), -1);
}

}  // namespace
}  // namespace kivostrel::wintest
