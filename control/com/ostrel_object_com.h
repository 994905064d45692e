// The COM face of one received variable binding: class OstrelObject, dual interface
// _OstrelObject, IDispatch served by the type library. Not creatable by clients: only the
// control makes instances, while decoding a received message.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <memory>

#include "encoding/ostrel_object.h"
#include "win/com_handles.h"

namespace kivostrel::com {

// A new object over `row`; the host's writes go to the row. `type_info`, the type information of
// _OstrelObject when the caller has it at hand, spares the object looking it up.
ComPtr<IDispatch> MakeOstrelObject(std::shared_ptr<OstrelObject> row,
                                   ComPtr<ITypeInfo> type_info = {});

// The row behind `object` when it is one of ours, else null.
std::shared_ptr<OstrelObject> RowOf(IUnknown* object);

}  // namespace kivostrel::com
