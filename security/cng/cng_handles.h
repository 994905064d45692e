// Owners of the CNG objects CngCrypto holds: an algorithm provider, a key, a hash object. Each is
// a UniqueAny (win/win32_handles.h) that frees its object with the matching bcrypt call.
#pragma once

#include <windows.h>

#include <bcrypt.h>

#include "win/win32_handles.h"

namespace kivostrel {

// BCryptCloseAlgorithmProvider takes flags, which must be zero.
inline void CloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm) noexcept {
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
}

using UniqueAlgorithm = UniqueAny<BCRYPT_ALG_HANDLE, CloseAlgorithmProvider>;
using UniqueKey = UniqueAny<BCRYPT_KEY_HANDLE, ::BCryptDestroyKey>;
using UniqueHash = UniqueAny<BCRYPT_HASH_HANDLE, ::BCryptDestroyHash>;

}  // namespace kivostrel
