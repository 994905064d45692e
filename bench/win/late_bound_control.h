// The control as a late-binding host holds it: created from the CLSID its ProgID names, members
// called through IDispatch::Invoke with DISPIDs that GetIDsOfNames gave once.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <oleauto.h>

#include <cstdint>

#include "win/com_handles.h"

namespace kivostrel::winbench {

// The CLSID registered for the control's ProgID.
HRESULT ControlClsid(CLSID& clsid);

class LateBoundControl {
 public:
  // Creates one control; ok() says whether creation and the DISPID look-ups worked.
  explicit LateBoundControl(const CLSID& clsid);
  bool ok() const noexcept { return control_ && send_get_request_ != DISPID_UNKNOWN; }
  IDispatch* get() const noexcept { return control_.get(); }
  void reset() noexcept { control_.reset(); }

  // SendGetRequest(RemoteIP, RemotePort, Community, RequestId, Objectvalue). `bindings` is
  // passed by reference, as the member's [in, out] array is.
  HRESULT SendGetRequest(BSTR remote_ip, BSTR remote_port, BSTR community, std::int32_t request_id,
                         SAFEARRAY** bindings);
  // The port the control's socket is bound to; 0 when the get fails.
  std::uint16_t LocalPort();

 private:
  com::ComPtr<IDispatch> control_;
  DISPID send_get_request_ = DISPID_UNKNOWN;
  DISPID local_port_ = DISPID_UNKNOWN;
};

}  // namespace kivostrel::winbench
