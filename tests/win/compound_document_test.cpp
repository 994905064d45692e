// The control in a compound document: created into a storage by OleCreate, saved by OleSave
// into a compound file on disk and loaded back by OleLoad, and IPersistStorage's modes.
#include <objbase.h>
#include <ole2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dispatch_client.h"
#include "kivOstrel_h.h"

namespace kivostrel::wintest {
namespace {

// A compound file in the temporary folder, deleted when the test is done with it.
class TemporaryFile {
 public:
  TemporaryFile() {
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    if (::GetTempPathW(MAX_PATH, folder) && ::GetTempFileNameW(folder, L"kos", 0, path)) {
      path_ = path;
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
  }
  const wchar_t* path() const noexcept { return path_.c_str(); }

 private:
  std::wstring path_;
};

// A container's site that answers only what OLE asks of it while creating and loading.
class ClientSite final : public IOleClientSite {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IOleClientSite)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IOleClientSite*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
  ULONG references() const noexcept { return references_; }

 private:
  ULONG references_ = 0;
};

ComPtr<IStorage> MemoryStorage() {
  ComPtr<ILockBytes> bytes;
  ComPtr<IStorage> storage;
  if (FAILED(::CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Receive()))) return storage;
  ::StgCreateDocfileOnILockBytes(bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                 0, storage.Receive());
  return storage;
}

// The references others hold on `object`, read by taking one and giving it back.
ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

long StringType(IUnknown* control) {
  auto dispatch = ComPtr<IUnknown>::Share(control).As<IDispatch>(IID_IDispatch);
  return dispatch ? LongOf(*Get(dispatch.get(), L"StringType").value.get()) : -99;
}

TEST(CompoundDocument, OleSaveAndOleLoadKeepOnlyStringTypeInACompoundFile) {
  for (const bool with_site : {false, true}) {
    SCOPED_TRACE(with_site ? "with a client site" : "without a client site");
    ClientSite site;
    IOleClientSite* const client = with_site ? &site : nullptr;
    const TemporaryFile file;
    {
      ComPtr<IStorage> storage;
      ASSERT_EQ(::StgCreateDocfile(file.path(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                   0, storage.Receive()),
                S_OK);
      ComPtr<IOleObject> created;
      ASSERT_EQ(::OleCreate(CLSID_kivOstrel, IID_IOleObject, OLERENDER_DRAW, nullptr, client,
                            storage.get(), created.ReceiveVoid()),
                S_OK);
      ComPtr<IOleClientSite> sited;
      EXPECT_EQ(created->GetClientSite(sited.Receive()), S_OK);
      EXPECT_EQ(sited.get(), client);
      sited.reset();

      auto control = created.As<IDispatch>(IID_IDispatch);
      auto persist = created.As<IPersistStorage>(IID_IPersistStorage);
      ASSERT_TRUE(control && persist);
      EXPECT_EQ(persist->IsDirty(), S_FALSE);
      EXPECT_EQ(Put(control.get(), L"StringType", Long(1)).hr, S_OK);
      EXPECT_EQ(Put(control.get(), L"AgentAddress", Text(L"10.0.0.1")).hr, S_OK);
      EXPECT_EQ(Put(control.get(), L"TickCount", Long(12345)).hr, S_OK);
      EXPECT_EQ(persist->IsDirty(), S_OK);

      ASSERT_EQ(::OleSave(persist.get(), storage.get(), TRUE), S_OK);
      EXPECT_EQ(persist->SaveCompleted(nullptr), S_OK);
      EXPECT_EQ(persist->IsDirty(), S_FALSE);
      EXPECT_EQ(created->Close(OLECLOSE_NOSAVE), S_OK);
    }
    EXPECT_EQ(site.references(), 0u) << "the saved control let its site go";

    ComPtr<IStorage> reopened;
    ASSERT_EQ(::StgOpenStorage(file.path(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr,
                               0, reopened.Receive()),
              S_OK);
    CLSID clsid{};
    EXPECT_EQ(::ReadClassStg(reopened.get(), &clsid), S_OK);
    EXPECT_TRUE(::IsEqualCLSID(clsid, CLSID_kivOstrel));
    ComPtr<IOleObject> loaded;
    ASSERT_EQ(::OleLoad(reopened.get(), IID_IOleObject, client, loaded.ReceiveVoid()), S_OK);
    auto control = loaded.As<IDispatch>(IID_IDispatch);
    ASSERT_TRUE(control);
    EXPECT_EQ(LongOf(*Get(control.get(), L"StringType").value.get()), 1);
    EXPECT_EQ(TextOf(*Get(control.get(), L"AgentAddress").value.get()), L"");
    EXPECT_EQ(LongOf(*Get(control.get(), L"TickCount").value.get()), -1);
    EXPECT_EQ(loaded->Close(OLECLOSE_NOSAVE), S_OK);
    control.reset();
    loaded.reset();
    EXPECT_EQ(site.references(), 0u);
  }
}

TEST(CompoundDocument, FollowsTheModesOfTheStorageProtocol) {
  auto control = CreateControl();
  ASSERT_TRUE(control);
  auto persist = control.As<IPersistStorage>(IID_IPersistStorage);
  ASSERT_TRUE(persist);
  auto first = MemoryStorage();
  auto second = MemoryStorage();
  ASSERT_TRUE(first && second);
  const ULONG first_alone = References(first.get());
  const ULONG second_alone = References(second.get());
  IStorage* const none = nullptr;

  // Each step, in order, with what it must return.
  struct Step {
    const char* what;
    HRESULT (*call)(IPersistStorage*, IStorage*, IStorage*);
    HRESULT expected;
  };
  const Step steps[] = {
      {"uninitialised: Save",
       [](IPersistStorage* p, IStorage* a, IStorage*) { return p->Save(a, TRUE); }, E_UNEXPECTED},
      {"uninitialised: SaveCompleted",
       [](IPersistStorage* p, IStorage*, IStorage*) { return p->SaveCompleted(nullptr); },
       E_UNEXPECTED},
      {"uninitialised: HandsOffStorage",
       [](IPersistStorage* p, IStorage*, IStorage*) { return p->HandsOffStorage(); }, E_UNEXPECTED},
      {"InitNew", [](IPersistStorage* p, IStorage* a, IStorage*) { return p->InitNew(a); }, S_OK},
      {"InitNew again", [](IPersistStorage* p, IStorage* a, IStorage*) { return p->InitNew(a); },
       CO_E_ALREADYINITIALIZED},
      {"Load after InitNew", [](IPersistStorage* p, IStorage* a, IStorage*) { return p->Load(a); },
       CO_E_ALREADYINITIALIZED},
      {"normal: SaveCompleted without a Save",
       [](IPersistStorage* p, IStorage*, IStorage*) { return p->SaveCompleted(nullptr); },
       E_UNEXPECTED},
      {"Save", [](IPersistStorage* p, IStorage* a, IStorage*) { return p->Save(a, TRUE); }, S_OK},
      {"no scribble: SaveCompleted(NULL)",
       [](IPersistStorage* p, IStorage*, IStorage*) { return p->SaveCompleted(nullptr); }, S_OK},
      {"HandsOffStorage from normal",
       [](IPersistStorage* p, IStorage*, IStorage*) { return p->HandsOffStorage(); }, S_OK},
      {"hands off: Save as loaded",
       [](IPersistStorage* p, IStorage* a, IStorage*) { return p->Save(a, TRUE); }, E_UNEXPECTED},
      {"hands off: SaveCompleted(NULL)",
       [](IPersistStorage* p, IStorage*, IStorage*) { return p->SaveCompleted(nullptr); },
       E_INVALIDARG},
      {"hands off: Save as into another",
       [](IPersistStorage* p, IStorage*, IStorage* b) { return p->Save(b, FALSE); }, S_OK},
      {"hands off after save: SaveCompleted(another)",
       [](IPersistStorage* p, IStorage*, IStorage* b) { return p->SaveCompleted(b); }, S_OK},
      {"Save into the other",
       [](IPersistStorage* p, IStorage*, IStorage* b) { return p->Save(b, TRUE); }, S_OK},
      {"HandsOffStorage from no scribble",
       [](IPersistStorage* p, IStorage*, IStorage*) { return p->HandsOffStorage(); }, S_OK},
      {"hands off after save: SaveCompleted(NULL)",
       [](IPersistStorage* p, IStorage*, IStorage*) { return p->SaveCompleted(nullptr); },
       E_INVALIDARG},
      {"hands off after save: SaveCompleted(first)",
       [](IPersistStorage* p, IStorage* a, IStorage*) { return p->SaveCompleted(a); }, S_OK},
      {"HandsOffStorage at the end",
       [](IPersistStorage* p, IStorage*, IStorage*) { return p->HandsOffStorage(); }, S_OK},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(step.call(persist.get(), first.get(), second.get()), step.expected) << step.what;
  }
  EXPECT_EQ(persist->Save(none, FALSE), E_POINTER);
  // Hands off: the control holds neither storage.
  EXPECT_EQ(References(first.get()), first_alone);
  EXPECT_EQ(References(second.get()), second_alone);

  // Both storages hold the value; a control loads from either.
  for (IStorage* storage : {first.get(), second.get()}) {
    auto loaded = CreateControl();
    auto load = loaded.As<IPersistStorage>(IID_IPersistStorage);
    ASSERT_TRUE(load);
    ASSERT_EQ(Put(loaded.get(), L"StringType", Long(7)).hr, S_OK);
    EXPECT_EQ(load->Load(storage), S_OK);
    EXPECT_EQ(StringType(loaded.get()), 0);
    EXPECT_EQ(load->Load(storage), CO_E_ALREADYINITIALIZED);
  }
}

TEST(CompoundDocument, LoadReadsWhatTheStorageHolds) {
  // A storage the control never saved into keeps the value; a foreign stream fails the load.
  struct Case {
    const char* what;
    const char* contents;  // nullptr: no stream
    HRESULT expected;
    long string_type;
  };
  const Case cases[] = {
      {"no stream", nullptr, S_OK, 3},
      {"a record of another format", "not ours", STG_E_OLDFORMAT, 3},
      {"a short record", "KO", STG_E_READFAULT, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto storage = MemoryStorage();
    ASSERT_TRUE(storage);
    if (c.contents) {
      ComPtr<IStream> stream;
      ASSERT_EQ(
          storage->CreateStream(L"Contents", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                0, stream.Receive()),
          S_OK);
      ASSERT_EQ(stream->Write(c.contents, static_cast<ULONG>(strlen(c.contents)), nullptr), S_OK);
    }
    auto control = CreateControl();
    auto persist = control.As<IPersistStorage>(IID_IPersistStorage);
    ASSERT_TRUE(persist);
    ASSERT_EQ(Put(control.get(), L"StringType", Long(3)).hr, S_OK);
    EXPECT_EQ(persist->Load(storage.get()), c.expected);
    EXPECT_EQ(StringType(control.get()), c.string_type);
  }
}

}  // namespace
}  // namespace kivostrel::wintest
