#include "control/com/error_guard.h"

#include <oleauto.h>

#include <new>

#include "encoding/automation_error.h"
#include "win/automation_values.h"
#include "win/com_handles.h"
#include "win/utf16.h"

namespace kivostrel::com {
namespace {

HRESULT ReportAutomationError(const AutomationError& error, REFIID interface_id) noexcept {
  const HRESULT hr =
      MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<WORD>(error.number()));
  try {
    ComPtr<ICreateErrorInfo> info;
    if (FAILED(CreateErrorInfo(info.Receive()))) return hr;
    const std::wstring source = Widen(error.source(), CP_UTF8);
    const std::wstring description = Widen(error.description(), CP_UTF8);
    info->SetGUID(interface_id);
    info->SetSource(const_cast<LPOLESTR>(source.c_str()));
    info->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    if (auto error_info = info.As<IErrorInfo>(IID_IErrorInfo)) SetErrorInfo(0, error_info.get());
  } catch (...) {
    // The HRESULT still carries the number.
  }
  return hr;
}

}  // namespace

HRESULT ReportToInvoke(const AutomationError& error, EXCEPINFO* exception) noexcept {
  const HRESULT hr =
      MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<WORD>(error.number()));
  if (!exception) return hr;
  try {
    return FillExcepInfo(exception, hr, Widen(error.source(), CP_UTF8),
                         Widen(error.description(), CP_UTF8));
  } catch (...) {
    return FillExcepInfo(exception, hr, L"", L"");
  }
}

HRESULT ReportCurrentException(REFIID interface_id) noexcept {
  // A failure without error information of its own must not leave an older one behind.
  SetErrorInfo(0, nullptr);
  try {
    throw;
  } catch (const AutomationError& error) {
    return ReportAutomationError(error, interface_id);
  } catch (const HresultError& error) {
    return error.hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace kivostrel::com
