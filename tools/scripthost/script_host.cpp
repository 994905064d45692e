#include "tools/scripthost/script_host.h"

#include <olectl.h>

#include <algorithm>
#include <string>
#include <utility>

#include "tools/scripthost/dispatch_object.h"
#include "tools/scripthost/event_sink.h"
#include "tools/scripthost/handler_arguments.h"
#include "tools/scripthost/wscript_object.h"
#include "win/message_pump.h"
#include "win/ref_counted.h"
#include "win/utf16.h"

namespace ostrelhost {
namespace {

// mingw's import library lacks the 32-bit parser's interface ID.
constexpr IID kIidActiveScriptParse32 = {
    0xbb1a2ae2, 0xa4f9, 0x11cf, {0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64}};

constexpr const wchar_t* kWScriptName = L"WScript";

// What a WScript member returns to unwind the script after a Quit or an error that was already
// reported; the site recognises the state and prints nothing.
constexpr HRESULT kStopCode = E_ABORT;

class ScriptSite final : public kivostrel::com::RefCounted<IActiveScriptSite> {
 public:
  ScriptSite(ScriptHost& host, ComPtr<IDispatch> wscript)
      : host_(host), wscript_(std::move(wscript)) {}

  HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item,
                                        ITypeInfo** info) override {
    if ((mask & SCRIPTINFO_IUNKNOWN) && item == nullptr) return E_POINTER;
    if ((mask & SCRIPTINFO_ITYPEINFO) && info == nullptr) return E_POINTER;
    if (item != nullptr) *item = nullptr;
    if (info != nullptr) *info = nullptr;
    if (::CompareStringOrdinal(name, -1, kWScriptName, -1, TRUE) != CSTR_EQUAL) {
      return TYPE_E_ELEMENTNOTFOUND;
    }
    if (mask & SCRIPTINFO_IUNKNOWN) {
      *item = wscript_.get();
      (*item)->AddRef();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR* version) override {
    if (version != nullptr) *version = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override {
    if (error == nullptr) return E_POINTER;
    try {
      host_.ReportScriptError(error);
    } catch (...) {
      // Out of memory while printing: the exit code still says the script failed.
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

 private:
  ~ScriptSite() = default;

  void* Face(REFIID iid) noexcept override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IActiveScriptSite)) {
      return static_cast<IActiveScriptSite*>(this);
    }
    return nullptr;
  }

  ScriptHost& host_;
  const ComPtr<IDispatch> wscript_;
};

}  // namespace

void WriteText(std::wstring_view text, bool to_error) {
  const HANDLE handle = ::GetStdHandle(to_error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (::GetConsoleMode(handle, &mode)) {
    ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  // Files and pipes get UTF-8, written at once: nothing waits in a buffer when the script sleeps.
  const std::string bytes = kivostrel::Narrow(text, CP_UTF8);
  ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

namespace {

// The error number as scripts know it: the low word of a control-facility HRESULT
// (0x800A000D is 13), the whole HRESULT otherwise.
long ErrorNumber(HRESULT code) {
  if (HRESULT_FACILITY(code) == FACILITY_CONTROL) return HRESULT_CODE(code);
  return static_cast<long>(code);
}

// The system's text for an HRESULT, for engines that leave the description empty.
std::wstring SystemText(HRESULT code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 ? std::wstring(buffer, length) : std::wstring();
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.')) {
    text.pop_back();
  }
  return text;
}

std::wstring Hex(HRESULT code) {
  wchar_t text[16] = {};
  ::wsprintfW(text, L"0x%08lX", static_cast<unsigned long>(code));
  return text;
}

}  // namespace

ScriptHost::ScriptHost(std::wstring script_path, std::vector<std::wstring> arguments,
                       const ScriptLanguage& language)
    : script_path_(std::move(script_path)), arguments_(std::move(arguments)), language_(language) {}

ScriptHost::~ScriptHost() {
  Close();
}

int ScriptHost::Run(std::wstring_view code) {
  CLSID engine_class{};
  HRESULT status = ::CLSIDFromProgID(language_.name, &engine_class);
  if (SUCCEEDED(status)) {
    status = ::CoCreateInstance(engine_class, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                engine_.ReceiveVoid());
  }
  const auto parser = engine_.As<IActiveScriptParse32>(kIidActiveScriptParse32);
  if (FAILED(status) || !parser) {
    Write(L"ostrelhost: the " + std::wstring(language_.name) + L" engine is not available (" +
              Hex(status) + L")\n",
          true);
    return kExitHostError;
  }
  wscript_ = MakeWScriptObject(*this);
  const auto site = ComPtr<IActiveScriptSite>::Adopt(new ScriptSite(*this, wscript_));
  status = engine_->SetScriptSite(site.get());
  if (SUCCEEDED(status)) status = parser->InitNew();
  if (SUCCEEDED(status)) status = engine_->AddNamedItem(kWScriptName, SCRIPTITEM_ISVISIBLE);
  // Started first, so that the text below runs as soon as it is parsed.
  if (SUCCEEDED(status)) status = engine_->SetScriptState(SCRIPTSTATE_STARTED);
  if (FAILED(status)) {
    Write(L"ostrelhost: the " + std::wstring(language_.name) + L" engine refused to start (" +
              Hex(status) + L")\n",
          true);
    Close();
    return kExitHostError;
  }

  const std::wstring text(code);
  UniqueExcepInfo exception;
  status = parser->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                   SCRIPTTEXT_ISVISIBLE, nullptr, &exception.info);
  if (FAILED(status) && !stopping_) {
    // A failure the engine did not pass to the site.
    PrintError(status, exception.Filled(), -1, -1);
    failed_ = true;
  }
  Close();
  return failed_ ? kExitScriptError : exit_code_;
}

void ScriptHost::Close() {
  for (Connection& connection : connections_) Disconnect(connection);
  connections_.clear();
  if (engine_) {
    engine_->Close();
    engine_.reset();
  }
  wscript_.reset();
}

void ScriptHost::Write(std::wstring_view text, bool to_error) const {
  WriteText(text, to_error);
}

HRESULT ScriptHost::Sleep(long milliseconds, EXCEPINFO* exception) {
  const DWORD timeout = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
  if (kivostrel::DispatchMessagesUntil([this] { return stopping_; }, timeout)) {
    return StopScript(exception);
  }
  return S_OK;
}

HRESULT ScriptHost::Quit(long code, EXCEPINFO* exception) {
  if (!stopping_) exit_code_ = static_cast<int>(code);
  stopping_ = true;
  return StopScript(exception);
}

HRESULT ScriptHost::StopScript(EXCEPINFO* exception) {
  return Fail(exception, kStopCode, L"The script was stopped");
}

HRESULT ScriptHost::ConnectObject(IDispatch* object, std::wstring prefix, EXCEPINFO* exception) {
  IID iid{};
  ComPtr<ITypeInfo> events;
  HRESULT status = FindDefaultSource(object, iid, events);
  if (FAILED(status)) {
    return Fail(exception, status, L"The object does not describe an event interface");
  }
  const auto container =
      ComPtr<IDispatch>::Share(object).As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (!container) return Fail(exception, E_NOINTERFACE, L"The object does not raise events");
  Connection connection;
  status = container->FindConnectionPoint(iid, connection.point.Receive());
  if (FAILED(status))
    return Fail(exception, status, L"The object has no connection point for its events");
  connection.object = ComPtr<IDispatch>::Share(object).As<IUnknown>(IID_IUnknown);
  connection.sink =
      ComPtr<EventSink>::Adopt(new EventSink(*this, iid, std::move(events), std::move(prefix)));
  status = connection.point->Advise(connection.sink.get(), &connection.cookie);
  if (FAILED(status)) {
    connection.sink->Detach();
    return Fail(exception, status, L"The object refused the event connection");
  }
  connections_.push_back(std::move(connection));
  return S_OK;
}

void ScriptHost::DisconnectObject(IDispatch* object) {
  const auto identity = ComPtr<IDispatch>::Share(object).As<IUnknown>(IID_IUnknown);
  // Taken out of the list first: Unadvise may call back into the script.
  std::vector<Connection> dropped;
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (it->object.get() == identity.get()) {
      dropped.push_back(std::move(*it));
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
  for (Connection& connection : dropped) Disconnect(connection);
}

void ScriptHost::Disconnect(Connection& connection) {
  if (connection.sink) connection.sink->Detach();
  if (connection.point) connection.point->Unadvise(connection.cookie);
  connection.point.reset();
  connection.sink.reset();
  connection.object.reset();
}

void ScriptHost::RaiseEvent(const std::wstring& sub_name, DISPPARAMS* params) {
  if (stopping_ || !engine_) return;
  ComPtr<IDispatch> script;
  if (FAILED(engine_->GetScriptDispatch(nullptr, script.Receive())) || !script) return;
  std::wstring name = sub_name;
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  // No Sub or global function of that name: the script does not handle this event. The script
  // dispatch finds both (a JScript function by its exact case).
  if (FAILED(script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return;

  const int reported_before = errors_reported_;
  HandlerArguments arguments(params, language_);
  UniqueExcepInfo exception;
  UniqueVariant result;
  const HRESULT status = script->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                        arguments.params(), result.get(), &exception.info, nullptr);
  if (FAILED(status) && !stopping_) {
    if (errors_reported_ == reported_before) {
      EXCEPINFO& info = exception.Filled();
      if (info.bstrSource == nullptr) info.bstrSource = ::SysAllocString(name.c_str());
      PrintError(status == DISP_E_EXCEPTION && info.scode != 0 ? info.scode : status, info, -1, -1);
      ++errors_reported_;
    }
    failed_ = true;
    stopping_ = true;
  }
}

void ScriptHost::ReportScriptError(IActiveScriptError* error) {
  // The unwinding after a Quit, or after an error already reported.
  if (stopping_) return;
  UniqueExcepInfo exception;
  error->GetExceptionInfo(&exception.info);
  const EXCEPINFO& info = exception.Filled();
  DWORD context = 0;
  ULONG line = 0;
  LONG column = 0;
  const bool placed = SUCCEEDED(error->GetSourcePosition(&context, &line, &column));
  HRESULT code = info.scode;
  if (code == 0) code = info.wCode != 0 ? MAKE_HRESULT(1, FACILITY_CONTROL, info.wCode) : E_FAIL;
  PrintError(code, info, placed ? static_cast<long>(line) + 1 : -1, placed ? column + 1 : -1);
  ++errors_reported_;
  failed_ = true;
  stopping_ = true;
}

void ScriptHost::PrintError(HRESULT code, const EXCEPINFO& info, long line, long column) const {
  const auto text = [](BSTR value) { return std::wstring(kivostrel::com::BstrView(value)); };
  std::wstring description = text(info.bstrDescription);
  if (description.empty()) description = SystemText(code);
  std::wstring report = script_path_;
  if (line > 0) {
    report += L"(" + std::to_wstring(line) + L", " + std::to_wstring(column) + L")";
  }
  report += L": script error\n";
  if (line > 0) report += L"  line: " + std::to_wstring(line) + L"\n";
  report += L"  number: " + Hex(code) + L" (" + std::to_wstring(ErrorNumber(code)) + L")\n";
  report += L"  source: " + text(info.bstrSource) + L"\n";
  report += L"  description: " + description + L"\n";
  Write(report, /*to_error=*/true);
}

}  // namespace ostrelhost
