// The script host: runs one VBScript or JScript file through the system's engine for its
// language, with a WScript object for output, waiting, objects and their events.
#pragma once

#include <windows.h>

#include <activscp.h>
#include <ocidl.h>

#include <string>
#include <string_view>
#include <vector>

#include "tools/scripthost/dispatch_object.h"
#include "tools/scripthost/script_language.h"

namespace ostrelhost {

class EventSink;

// Exit codes besides those a script gives to WScript.Quit.
enum ExitCode : int {
  kExitScriptError = 1,  // the script failed to compile or stopped on a run-time error
  kExitHostError = 2,    // bad command line, unreadable file, no engine for the language
};

// Writes to standard output or standard error at once: UTF-16 to a console, UTF-8 otherwise.
void WriteText(std::wstring_view text, bool to_error);

class ScriptHost {
 public:
  // `script_path` as given on the command line; `arguments` are those after it.
  ScriptHost(std::wstring script_path, std::vector<std::wstring> arguments,
             const ScriptLanguage& language);
  ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  // Runs `code` to its end, to WScript.Quit or to its first error, then disconnects every event
  // sink and closes the engine. Returns the process exit code.
  int Run(std::wstring_view code);

  // What WScript offers. A member returning a failure stops the script: Sleep does so once a
  // Quit or an error has happened inside an event handler.
  void Write(std::wstring_view text, bool to_error) const;
  HRESULT Sleep(long milliseconds, EXCEPINFO* exception);
  HRESULT ConnectObject(IDispatch* object, std::wstring prefix, EXCEPINFO* exception);
  void DisconnectObject(IDispatch* object);
  HRESULT Quit(long code, EXCEPINFO* exception);
  const std::wstring& script_path() const noexcept { return script_path_; }
  const std::vector<std::wstring>& arguments() const noexcept { return arguments_; }

  // From the site: prints the error, and stops the script unless it is stopping already.
  void ReportScriptError(IActiveScriptError* error);
  // From an event sink: calls the script's Sub or function `sub_name` with the event's
  // arguments, if the script has one.
  void RaiseEvent(const std::wstring& sub_name, DISPPARAMS* params);

 private:
  struct Connection {
    ComPtr<IUnknown> object;  // the identity, for DisconnectObject
    ComPtr<IConnectionPoint> point;
    ComPtr<EventSink> sink;
    DWORD cookie = 0;
  };

  void PrintError(HRESULT code, const EXCEPINFO& info, long line, long column) const;
  HRESULT StopScript(EXCEPINFO* exception);
  void Disconnect(Connection& connection);
  void Close();

  std::wstring script_path_;
  std::vector<std::wstring> arguments_;
  const ScriptLanguage& language_;
  ComPtr<IActiveScript> engine_;
  ComPtr<IDispatch> wscript_;
  std::vector<Connection> connections_;
  bool stopping_ = false;  // a Quit or an error: the script is being unwound
  bool failed_ = false;
  int exit_code_ = 0;
  int errors_reported_ = 0;
};

}  // namespace ostrelhost
