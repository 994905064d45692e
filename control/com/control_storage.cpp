// Compound documents: IPersistStorage keeps the stream form's record (control_persistence.cpp)
// in one stream of the container's storage, and follows the protocol's modes: the storage is
// written only in normal mode, left alone from Save to SaveCompleted, and let go between
// HandsOffStorage and SaveCompleted.
#include "control/com/control_object.h"

namespace kivostrel::com {
namespace {

constexpr const wchar_t* kContentsStream = L"Contents";

}  // namespace

STDMETHODIMP ControlObject::InitNew(IStorage* storage) {
  if (!storage) return E_POINTER;
  if (storage_mode_ != StorageMode::kUninitialized) return CO_E_ALREADYINITIALIZED;
  if (!engine_) return E_UNEXPECTED;
  storage_ = ComPtr<IStorage>(storage);
  storage_mode_ = StorageMode::kNormal;
  return S_OK;
}

STDMETHODIMP ControlObject::Load(IStorage* storage) {
  if (!storage) return E_POINTER;
  if (storage_mode_ != StorageMode::kUninitialized) return CO_E_ALREADYINITIALIZED;
  if (!engine_) return E_UNEXPECTED;
  ComPtr<IStream> stream;
  const HRESULT opened = storage->OpenStream(kContentsStream, nullptr,
                                             STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Receive());
  // A storage the control was given but never saved into: as a bag without the entry, the
  // value stays as it is.
  if (opened != STG_E_FILENOTFOUND) {
    if (FAILED(opened)) return opened;
    const HRESULT hr = Load(stream.get());
    if (FAILED(hr)) return hr;
  }
  storage_ = ComPtr<IStorage>(storage);
  storage_mode_ = StorageMode::kNormal;
  return S_OK;
}

STDMETHODIMP ControlObject::Save(IStorage* storage, BOOL same_as_load) {
  if (!storage) return E_POINTER;
  const bool hands_off =
      storage_mode_ == StorageMode::kHandsOff || storage_mode_ == StorageMode::kHandsOffAfterSave;
  // Without a storage of its own, the control can only save as into a new one.
  if (storage_mode_ == StorageMode::kUninitialized || (hands_off && same_as_load)) {
    return E_UNEXPECTED;
  }
  ComPtr<IStream> stream;
  HRESULT hr = storage->CreateStream(
      kContentsStream, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.Receive());
  if (FAILED(hr)) return hr;
  hr = Save(stream.get(), same_as_load);
  if (FAILED(hr)) return hr;
  storage_mode_ = hands_off ? StorageMode::kHandsOffAfterSave : StorageMode::kNoScribble;
  return S_OK;
}

STDMETHODIMP ControlObject::SaveCompleted(IStorage* storage) {
  switch (storage_mode_) {
    case StorageMode::kUninitialized:
    case StorageMode::kNormal:
      return E_UNEXPECTED;
    case StorageMode::kHandsOff:
    case StorageMode::kHandsOffAfterSave:
      if (!storage) return E_INVALIDARG;
      break;
    case StorageMode::kNoScribble:
      break;
  }
  if (storage) storage_ = ComPtr<IStorage>(storage);
  storage_mode_ = StorageMode::kNormal;
  if (advise_holder_) advise_holder_->SendOnSave();
  return S_OK;
}

STDMETHODIMP ControlObject::HandsOffStorage() {
  switch (storage_mode_) {
    case StorageMode::kUninitialized:
      return E_UNEXPECTED;
    case StorageMode::kNormal:
      storage_mode_ = StorageMode::kHandsOff;
      break;
    case StorageMode::kNoScribble:
      storage_mode_ = StorageMode::kHandsOffAfterSave;
      break;
    case StorageMode::kHandsOff:
    case StorageMode::kHandsOffAfterSave:
      break;
  }
  storage_.reset();
  return S_OK;
}

}  // namespace kivostrel::com
