// The one guard around every COM entry point: runs the body and turns whatever it throws into an
// HRESULT, so that no exception ever crosses the COM boundary.
//
//   AutomationError   -> 0x800A0000 + number, with number, source and description in the
//                        thread's error information (IErrorInfo)
//   HresultError      -> its HRESULT
//   std::bad_alloc    -> E_OUTOFMEMORY
//   anything else     -> E_FAIL
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <exception>

namespace kivostrel {
class AutomationError;
}

namespace kivostrel::com {

// Maps the exception being handled; call only inside a catch block.
HRESULT ReportCurrentException(REFIID interface_id) noexcept;

// What an IDispatch::Invoke of our own returns for `error`: DISP_E_EXCEPTION with `exception`
// filled, or the error's HRESULT when the caller gave no EXCEPINFO.
HRESULT ReportToInvoke(const AutomationError& error, EXCEPINFO* exception) noexcept;

template <typename Body>
HRESULT Guarded(REFIID interface_id, Body&& body) noexcept {
  try {
    body();
    return S_OK;
  } catch (...) {
    return ReportCurrentException(interface_id);
  }
}

}  // namespace kivostrel::com
