// typelib_builder: rewrites the type library that widl makes from kivOstrel.idl into the one the
// control embeds.
//
//   typelib_builder RAW.tlb OUT.tlb
//
// widl cannot produce the final library by itself: it writes the event dispinterface right after
// the coclass that sources it and refuses `nonextensible` on a dispinterface. This program reads
// widl's library and writes every type again through oleaut32's ICreateTypeLib2, in the order
// _kivOstrel, kivOstrel, _OstrelObject, OstrelObject, __kivOstrel and with the flags below. Names,
// GUIDs, member ids, kinds, parameter types, flags and defaults all come from widl's library, so
// the IDL stays the one description. Runs at build time (under Wine on Linux).
#include <windows.h>

#include <oleauto.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kivOstrel_h.h"
#include "win/com_handles.h"
#include "win/guid_text.h"
#include "win/type_info_handles.h"
#include "win/utf16.h"

namespace {

using kivostrel::com::ComPtr;
using kivostrel::com::GuidText;
using kivostrel::com::HresultError;
using kivostrel::com::ThrowIfFailed;
using kivostrel::com::UniqueBstr;
using kivostrel::com::UniqueFuncDesc;
using kivostrel::com::UniqueTypeAttr;

struct WantedType {
  const IID* guid;
  TYPEKIND kind;
  WORD flags;
};

// Interfaces reachable through IDispatch also carry the dispatchable flag, as every type library
// compiler sets it and readers rely on it.
constexpr WORD kDualFlags = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                            TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;

// The library's types in their final order.
const WantedType kTypes[] = {
    {&IID__kivOstrel, TKIND_INTERFACE, kDualFlags},
    {&CLSID_kivOstrel, TKIND_COCLASS, TYPEFLAG_FCONTROL},
    {&IID__OstrelObject, TKIND_INTERFACE, kDualFlags},
    {&CLSID_OstrelObject, TKIND_COCLASS, 0},
    {&DIID___kivOstrel, TKIND_DISPATCH,
     TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE},
};

UniqueTypeAttr TypeAttrOf(ITypeInfo* info) {
  UniqueTypeAttr attr;
  ThrowIfFailed(GetTypeAttr(info, attr));
  return attr;
}

UniqueFuncDesc FuncDescOf(ITypeInfo* info, UINT index) {
  UniqueFuncDesc desc;
  ThrowIfFailed(GetFuncDesc(info, index, desc));
  return desc;
}

// Wine's type library writer records a dispinterface as if IDispatch's seven methods were its own
// (vtable size 40 instead of 4 per declared method, and a base-type field that readers then follow
// into IDispatch), so a reader lists QueryInterface where Response belongs. The fields are set
// here to what widl and Windows' compilers write: 4 bytes per declared method and no base type.
// Offsets are those of the MSFT format's header and per-type records.
void FixDispinterfaceRecord(const std::wstring& path, UINT type_index, UINT own_functions) {
  constexpr std::size_t kHeaderSize = 0x54;
  constexpr std::uint32_t kMagic = 0x5446534D;  // "MSFT"
  constexpr std::uint32_t kHelpDllFlag = 0x100;
  constexpr std::size_t kRecordSize = 100;
  constexpr std::size_t kVtableSizeAt = 0x4E;
  constexpr std::size_t kBaseTypeAt = 0x54;

  std::ifstream in(path.c_str(), std::ios::binary);
  std::vector<char> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  in.close();
  auto read32 = [&](std::size_t at) {
    if (at + 4 > data.size()) throw HresultError{TYPE_E_INVDATAREAD};
    std::uint32_t value = 0;
    std::memcpy(&value, data.data() + at, 4);
    return value;
  };
  if (read32(0) != kMagic) throw HresultError{TYPE_E_INVDATAREAD};
  const std::uint32_t var_flags = read32(5 * 4);
  const std::uint32_t type_count = read32(8 * 4);
  const std::size_t segments =
      kHeaderSize + ((var_flags & kHelpDllFlag) ? 4 : 0) + 4 * std::size_t{type_count};
  const std::size_t record = read32(segments) + type_index * kRecordSize;
  if (type_index >= type_count || record + kRecordSize > data.size()) {
    throw HresultError{TYPE_E_INVDATAREAD};
  }
  const std::int16_t vtable_size = static_cast<std::int16_t>(4 * own_functions);
  const std::int32_t no_base = -1;
  std::memcpy(data.data() + record + kVtableSizeAt, &vtable_size, 2);
  std::memcpy(data.data() + record + kBaseTypeAt, &no_base, 4);
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) throw HresultError{STG_E_WRITEFAULT};
}

// Reads the written library back and checks what readers will see of the event interface.
void CheckDispinterface(const std::wstring& path, const IID& iid, UINT own_functions) {
  ComPtr<ITypeLib> library;
  ThrowIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Receive()));
  ComPtr<ITypeInfo> info;
  ThrowIfFailed(library->GetTypeInfoOfGuid(iid, info.Receive()));
  const UniqueTypeAttr attr = TypeAttrOf(info.get());
  const UniqueFuncDesc first = FuncDescOf(info.get(), 0);
  const bool own_first = first->funckind == FUNC_DISPATCH && first->memid > 0;
  if (attr->cFuncs != own_functions || !own_first) {
    std::fprintf(stderr, "typelib_builder: the event interface reads back wrong\n");
    throw HresultError{E_FAIL};
  }
}

class Builder {
 public:
  Builder(ComPtr<ITypeLib> source, ComPtr<ICreateTypeLib2> target)
      : source_(std::move(source)), target_(std::move(target)) {}

  void Run() {
    CopyLibraryAttributes();
    // Every type exists before any is filled, so that references between them resolve.
    for (const WantedType& wanted : kTypes) {
      ComPtr<ITypeInfo> from;
      ThrowIfFailed(source_->GetTypeInfoOfGuid(*wanted.guid, from.Receive()));
      UniqueBstr name;
      ThrowIfFailed(
          from->GetDocumentation(MEMBERID_NIL, name.Receive(), nullptr, nullptr, nullptr));
      ComPtr<ICreateTypeInfo> created;
      ThrowIfFailed(target_->CreateTypeInfo(name.get(), wanted.kind, created.Receive()));
      ThrowIfFailed(created->SetGuid(*wanted.guid));
      targets_[GuidText(*wanted.guid)] = created;
    }
    for (const WantedType& wanted : kTypes) FillType(wanted);
    ThrowIfFailed(target_->SaveAllChanges());
  }

 private:
  void CopyLibraryAttributes() {
    TLIBATTR* attr = nullptr;
    ThrowIfFailed(source_->GetLibAttr(&attr));
    const TLIBATTR lib = *attr;
    source_->ReleaseTLibAttr(attr);
    UniqueBstr name;
    UniqueBstr help;
    ThrowIfFailed(source_->GetDocumentation(-1, name.Receive(), help.Receive(), nullptr, nullptr));
    ThrowIfFailed(target_->SetName(name.get()));
    ThrowIfFailed(target_->SetGuid(lib.guid));
    ThrowIfFailed(target_->SetLcid(lib.lcid));
    ThrowIfFailed(target_->SetVersion(lib.wMajorVerNum, lib.wMinorVerNum));
    ThrowIfFailed(target_->SetLibFlags(lib.wLibFlags));
    if (help.get()) ThrowIfFailed(target_->SetDocString(help.get()));
  }

  // The type widl wrote for `guid`; for a dual interface, its vtable half, which carries the
  // members with their HRESULTs and retval parameters.
  ComPtr<ITypeInfo> SourceOf(const WantedType& wanted) {
    ComPtr<ITypeInfo> info;
    ThrowIfFailed(source_->GetTypeInfoOfGuid(*wanted.guid, info.Receive()));
    if (wanted.kind != TKIND_INTERFACE) return info;
    if (TypeAttrOf(info.get())->typekind == TKIND_INTERFACE) return info;
    HREFTYPE vtable = 0;
    ThrowIfFailed(info->GetRefTypeOfImplType(-1, &vtable));
    ComPtr<ITypeInfo> vtable_info;
    ThrowIfFailed(info->GetRefTypeInfo(vtable, vtable_info.Receive()));
    return vtable_info;
  }

  void FillType(const WantedType& wanted) {
    ComPtr<ICreateTypeInfo> created = targets_.at(GuidText(*wanted.guid));
    ComPtr<ITypeInfo> from = SourceOf(wanted);
    const UniqueTypeAttr attr = TypeAttrOf(from.get());

    UniqueBstr help;
    ThrowIfFailed(from->GetDocumentation(MEMBERID_NIL, nullptr, help.Receive(), nullptr, nullptr));
    if (help.get()) ThrowIfFailed(created->SetDocString(help.get()));
    ThrowIfFailed(created->SetVersion(attr->wMajorVerNum, attr->wMinorVerNum));

    // Base interfaces and implemented interfaces, with their implementation flags.
    for (UINT i = 0; i < attr->cImplTypes; ++i) {
      HREFTYPE from_ref = 0;
      ThrowIfFailed(from->GetRefTypeOfImplType(i, &from_ref));
      const HREFTYPE ref = MapReference(from.get(), from_ref, created.get());
      ThrowIfFailed(created->AddImplType(i, ref));
      INT impl_flags = 0;
      ThrowIfFailed(from->GetImplTypeFlags(i, &impl_flags));
      if (impl_flags != 0) ThrowIfFailed(created->SetImplTypeFlags(i, impl_flags));
    }
    ThrowIfFailed(created->SetTypeFlags(wanted.flags));
    if (wanted.kind != TKIND_COCLASS) ThrowIfFailed(created->SetAlignment(attr->cbAlignment));

    for (UINT i = 0; i < attr->cFuncs; ++i) CopyFunction(from.get(), i, created.get());
    ThrowIfFailed(created->LayOut());
  }

  void CopyFunction(ITypeInfo* from, UINT index, ICreateTypeInfo* created) {
    const UniqueFuncDesc desc = FuncDescOf(from, index);

    // The parameter and result types refer to types by handles of widl's library: map them.
    std::vector<std::unique_ptr<TYPEDESC>> storage;
    std::vector<ELEMDESC> params(desc->lprgelemdescParam, desc->lprgelemdescParam + desc->cParams);
    for (ELEMDESC& param : params) param.tdesc = MapTypeDesc(from, param.tdesc, created, storage);
    FUNCDESC copy = *desc;
    copy.lprgelemdescParam = params.empty() ? nullptr : params.data();
    copy.elemdescFunc.tdesc = MapTypeDesc(from, desc->elemdescFunc.tdesc, created, storage);
    copy.lprgscode = nullptr;
    copy.cScodes = 0;
    ThrowIfFailed(created->AddFuncDesc(index, &copy));

    // A property put or put-by-reference stores no name for its value parameter.
    const bool is_put = desc->invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF);
    const UINT wanted = is_put ? desc->cParams : desc->cParams + 1;
    std::vector<BSTR> names(desc->cParams + 1, nullptr);
    UINT count = 0;
    ThrowIfFailed(from->GetNames(desc->memid, names.data(), desc->cParams + 1, &count));
    std::vector<UniqueBstr> owned;
    for (UINT i = 0; i < count; ++i) owned.emplace_back(names[i]);
    if (count < wanted) {
      std::fprintf(stderr, "typelib_builder: member %ld lacks parameter names\n", desc->memid);
      throw HresultError{E_FAIL};
    }
    std::vector<LPOLESTR> pointers;
    for (UINT i = 0; i < wanted; ++i) pointers.push_back(owned[i].get());
    ThrowIfFailed(created->SetFuncAndParamNames(index, pointers.data(), wanted));
  }

  TYPEDESC MapTypeDesc(ITypeInfo* from, const TYPEDESC& type, ICreateTypeInfo* created,
                       std::vector<std::unique_ptr<TYPEDESC>>& storage) {
    TYPEDESC mapped = type;
    if (type.vt == VT_PTR || type.vt == VT_SAFEARRAY) {
      storage.push_back(
          std::make_unique<TYPEDESC>(MapTypeDesc(from, *type.lptdesc, created, storage)));
      mapped.lptdesc = storage.back().get();
    } else if (type.vt == VT_USERDEFINED) {
      mapped.hreftype = MapReference(from, type.hreftype, created);
    } else if (type.vt == VT_CARRAY) {
      std::fprintf(stderr, "typelib_builder: fixed arrays are not supported\n");
      throw HresultError{E_NOTIMPL};
    }
    return mapped;
  }

  // The handle in the new library of the type `from_ref` names in widl's: one of ours when the
  // type is one of the five, else the imported type itself (IDispatch from stdole2).
  HREFTYPE MapReference(ITypeInfo* from, HREFTYPE from_ref, ICreateTypeInfo* created) {
    ComPtr<ITypeInfo> referenced;
    ThrowIfFailed(from->GetRefTypeInfo(from_ref, referenced.Receive()));
    const UniqueTypeAttr attr = TypeAttrOf(referenced.get());
    ComPtr<ITypeInfo> target = referenced;
    if (auto ours = targets_.find(GuidText(attr->guid)); ours != targets_.end()) {
      target = ours->second.As<ITypeInfo>(IID_ITypeInfo);
      if (!target) throw HresultError{E_NOINTERFACE};
    }
    HREFTYPE ref = 0;
    ThrowIfFailed(created->AddRefTypeInfo(target.get(), &ref));
    return ref;
  }

  ComPtr<ITypeLib> source_;
  ComPtr<ICreateTypeLib2> target_;
  std::map<std::wstring, ComPtr<ICreateTypeInfo>> targets_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: typelib_builder RAW.tlb OUT.tlb\n");
    return 2;
  }
  const std::wstring raw_path = kivostrel::Widen(argv[1], CP_ACP);
  const std::wstring out_path = kivostrel::Widen(argv[2], CP_ACP);
  if (FAILED(CoInitialize(nullptr))) return 1;
  HRESULT hr = S_OK;
  try {
    ComPtr<ITypeLib> source;
    ThrowIfFailed(LoadTypeLibEx(raw_path.c_str(), REGKIND_NONE, source.Receive()));
    DeleteFileW(out_path.c_str());
    ComPtr<ICreateTypeLib2> target;
    ThrowIfFailed(CreateTypeLib2(SYS_WIN32, out_path.c_str(), target.Receive()));
    ComPtr<ITypeInfo> events;
    ThrowIfFailed(source->GetTypeInfoOfGuid(DIID___kivOstrel, events.Receive()));
    const UINT event_count = TypeAttrOf(events.get())->cFuncs;
    events.reset();
    Builder(std::move(source), std::move(target)).Run();
    FixDispinterfaceRecord(out_path, std::size(kTypes) - 1, event_count);
    CheckDispinterface(out_path, DIID___kivOstrel, event_count);
  } catch (const HresultError& error) {
    hr = error.hr;
  } catch (...) {
    hr = E_FAIL;
  }
  CoUninitialize();
  if (FAILED(hr)) {
    std::fprintf(stderr, "typelib_builder: failed with 0x%08lX\n", static_cast<unsigned long>(hr));
    return 1;
  }
  return 0;
}
