#include "tools/scripthost/wscript_object.h"

#include <objbase.h>

#include <string>
#include <vector>

#include "tools/scripthost/script_host.h"

namespace ostrelhost {
namespace {

constexpr const wchar_t* kHostName = L"ostrelhost";
constexpr const wchar_t* kHostVersion = L"1.0";

// WScript.Arguments: Count, Length and Item (the default member), positions from 0.
class ArgumentsObject final : public DispatchObject {
 public:
  explicit ArgumentsObject(const std::vector<std::wstring>& arguments)
      : DispatchObject(kMembers), arguments_(arguments) {}

 private:
  enum : DISPID { kItem = DISPID_VALUE, kCount = 1, kLength = 2 };
  static constexpr Member kMembers[] = {{L"Item", kItem}, {L"Count", kCount}, {L"Length", kLength}};

  HRESULT Call(DISPID id, WORD, const DISPPARAMS& params, VARIANT* result,
               EXCEPINFO* exception) override {
    switch (id) {
      case kCount:
      case kLength:
        ReturnLong(result, static_cast<long>(arguments_.size()));
        return S_OK;
      case kItem: {
        const auto index = LongArgument(params, 0);
        if (!index || *index < 0 || static_cast<std::size_t>(*index) >= arguments_.size()) {
          return Fail(exception, DISP_E_BADINDEX, L"Subscript out of range");
        }
        ReturnText(result, arguments_[static_cast<std::size_t>(*index)]);
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  const std::vector<std::wstring>& arguments_;
};

// WScript.StdOut and WScript.StdErr: Write, WriteLine and WriteBlankLines.
class OutputStream final : public DispatchObject {
 public:
  OutputStream(const ScriptHost& host, bool to_error)
      : DispatchObject(kMembers), host_(host), to_error_(to_error) {}

 private:
  enum : DISPID { kWrite = 1, kWriteLine = 2, kWriteBlankLines = 3 };
  static constexpr Member kMembers[] = {
      {L"Write", kWrite}, {L"WriteLine", kWriteLine}, {L"WriteBlankLines", kWriteBlankLines}};

  HRESULT Call(DISPID id, WORD, const DISPPARAMS& params, VARIANT*, EXCEPINFO* exception) override {
    switch (id) {
      case kWrite:
      case kWriteLine: {
        std::wstring text;
        if (const VARIANT* value = Argument(params, 0)) {
          const auto shown = DisplayText(*value);
          if (!shown) return Fail(exception, DISP_E_TYPEMISMATCH, L"Type mismatch");
          text = *shown;
        }
        if (id == kWriteLine) text += L"\n";
        host_.Write(text, to_error_);
        return S_OK;
      }
      case kWriteBlankLines: {
        const auto count = LongArgument(params, 0);
        if (!count || *count < 0) return Fail(exception, E_INVALIDARG, L"Invalid line count");
        host_.Write(std::wstring(static_cast<std::size_t>(*count), L'\n'), to_error_);
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  const ScriptHost& host_;
  const bool to_error_;
};

class WScriptObject final : public DispatchObject {
 public:
  explicit WScriptObject(ScriptHost& host) : DispatchObject(kMembers), host_(host) {}

 private:
  enum : DISPID {
    kName = DISPID_VALUE,
    kEcho = 1,
    kSleep,
    kConnectObject,
    kDisconnectObject,
    kCreateObject,
    kQuit,
    kArguments,
    kStdOut,
    kStdErr,
    kScriptName,
    kScriptFullName,
    kVersion,
  };
  static constexpr Member kMembers[] = {
      {L"Name", kName},
      {L"Echo", kEcho},
      {L"Sleep", kSleep},
      {L"ConnectObject", kConnectObject},
      {L"DisconnectObject", kDisconnectObject},
      {L"CreateObject", kCreateObject},
      {L"Quit", kQuit},
      {L"Arguments", kArguments},
      {L"StdOut", kStdOut},
      {L"StdErr", kStdErr},
      {L"ScriptName", kScriptName},
      {L"ScriptFullName", kScriptFullName},
      {L"Version", kVersion},
  };

  HRESULT Call(DISPID id, WORD, const DISPPARAMS& params, VARIANT* result,
               EXCEPINFO* exception) override {
    switch (id) {
      case kName:
        ReturnText(result, kHostName);
        return S_OK;
      case kVersion:
        ReturnText(result, kHostVersion);
        return S_OK;
      case kEcho:
        return Echo(params, exception);
      case kSleep: {
        const auto milliseconds = LongArgument(params, 0);
        if (!milliseconds || *milliseconds < 0) {
          return Fail(exception, E_INVALIDARG, L"Sleep needs a number of milliseconds");
        }
        return host_.Sleep(*milliseconds, exception);
      }
      case kConnectObject:
      case kDisconnectObject: {
        IDispatch* object = ObjectArgument(params, 0);
        if (object == nullptr) return Fail(exception, E_INVALIDARG, L"Object required");
        if (id == kDisconnectObject) {
          host_.DisconnectObject(object);
          return S_OK;
        }
        const auto prefix = TextArgument(params, 1);
        if (!prefix) return Fail(exception, E_INVALIDARG, L"ConnectObject needs a prefix");
        return host_.ConnectObject(object, *prefix, exception);
      }
      case kCreateObject:
        return CreateObject(params, result, exception);
      case kQuit:
        return host_.Quit(LongArgument(params, 0).value_or(0), exception);
      case kArguments:
        return Arguments(params, result, exception);
      case kStdOut:
      case kStdErr: {
        const auto stream =
            ComPtr<IDispatch>::Adopt(new OutputStream(host_, /*to_error=*/id == kStdErr));
        ReturnObject(result, stream.get());
        return S_OK;
      }
      case kScriptName:
      case kScriptFullName:
        return ScriptName(id == kScriptFullName, result);
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  // Like WSH: the arguments' texts separated by single spaces, then a new line.
  HRESULT Echo(const DISPPARAMS& params, EXCEPINFO* exception) {
    std::wstring line;
    for (UINT i = 0; i < params.cArgs; ++i) {
      const VARIANT* value = Argument(params, i);
      const auto shown = value == nullptr ? std::optional<std::wstring>(L"") : DisplayText(*value);
      if (!shown) return Fail(exception, DISP_E_TYPEMISMATCH, L"Type mismatch");
      if (i > 0) line += L' ';
      line += *shown;
    }
    host_.Write(line + L"\n", /*to_error=*/false);
    return S_OK;
  }

  // CreateObject(ProgID[, prefix]): with a prefix, the new object's events are connected too.
  HRESULT CreateObject(const DISPPARAMS& params, VARIANT* result, EXCEPINFO* exception) {
    const auto progid = TextArgument(params, 0);
    if (!progid) return Fail(exception, E_INVALIDARG, L"CreateObject needs a ProgID");
    CLSID clsid{};
    HRESULT status = ::CLSIDFromProgID(progid->c_str(), &clsid);
    if (FAILED(status)) {
      return Fail(exception, status,
                  L"Could not locate automation class named \"" + *progid + L"\"");
    }
    ComPtr<IDispatch> object;
    status = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                IID_IDispatch, object.ReceiveVoid());
    if (FAILED(status)) {
      return Fail(exception, status, L"Could not create an object of class \"" + *progid + L"\"");
    }
    if (const auto prefix = TextArgument(params, 1); prefix && !prefix->empty()) {
      status = host_.ConnectObject(object.get(), *prefix, exception);
      if (FAILED(status)) return status;
    }
    ReturnObject(result, object.get());
    return S_OK;
  }

  // WScript.Arguments is the collection; WScript.Arguments(i) its item.
  HRESULT Arguments(const DISPPARAMS& params, VARIANT* result, EXCEPINFO* exception) {
    const auto arguments = ComPtr<IDispatch>::Adopt(new ArgumentsObject(host_.arguments()));
    if (params.cArgs == 0) {
      ReturnObject(result, arguments.get());
      return S_OK;
    }
    DISPPARAMS item_params = params;
    return arguments->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                             &item_params, result, exception, nullptr);
  }

  HRESULT ScriptName(bool full, VARIANT* result) {
    const std::wstring& given = host_.script_path();
    if (full) {
      std::wstring absolute(MAX_PATH, L'\0');
      const DWORD length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(absolute.size()),
                                              absolute.data(), nullptr);
      absolute.resize(length > 0 && length < absolute.size() ? length : 0);
      ReturnText(result, absolute.empty() ? given : absolute);
      return S_OK;
    }
    const std::size_t slash = given.find_last_of(L"\\/");
    ReturnText(result, slash == std::wstring::npos ? given : given.substr(slash + 1));
    return S_OK;
  }

  ScriptHost& host_;
};

}  // namespace

ComPtr<IDispatch> MakeWScriptObject(ScriptHost& host) {
  return ComPtr<IDispatch>::Adopt(new WScriptObject(host));
}

}  // namespace ostrelhost
