// The collection objects the control hands out: the objects of `Response` (OstrelObject rows)
// and the names `FindName` finds. Each has its own IDispatch (not in the type library):
//
//   Count        DISPID 1       property get
//   Item         DISPID_VALUE   the default member; a 1-based position or a key
//   Add          DISPID 2       Add item [, key]
//   Remove       DISPID 3       a position or a key
//   _NewEnum     DISPID_NEWENUM an IEnumVARIANT over a copy of the items, for `For Each`
//
// Names are matched without regard to case. Errors are automation errors: 5 for a position or key
// that is not there, 457 for a key already taken, 13 for an item of the wrong kind.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <memory>

#include "control/host.h"
#include "win/com_handles.h"

namespace kivostrel::com {

// `row_type_info`: the type information of _OstrelObject, given to every row object made.
ComPtr<IDispatch> MakeObjectsCollection(std::shared_ptr<ObjectsCollection> objects,
                                        ComPtr<ITypeInfo> row_type_info);
ComPtr<IDispatch> MakeNamesCollection(std::shared_ptr<NamesCollection> names);

// The engine's collection behind `object` when it is one of our objects collections, else null.
std::shared_ptr<ObjectsCollection> ObjectsOf(IUnknown* object);

}  // namespace kivostrel::com
