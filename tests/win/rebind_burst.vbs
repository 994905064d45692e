' Counts the Responses raised for datagrams that reach the control around a rebind, as a host sees
' them when another process sends them.
'
'   ostrelhost.exe rebind_burst.vbs put SENT PORT
'       puts LocalPort = PORT once the control is ready and prints "ready" at once, before the
'       Ready that follows the put. Then, busy and dispatching nothing, it waits until the file
'       SENT exists (the sender's sign that its burst went to PORT), and counts the Responses.
'   ostrelhost.exe rebind_burst.vbs handler SENT PORT1 PORT2
'       the same with PORT1; the first Response's handler then puts LocalPort = PORT2 (which may
'       be PORT1) while the rest of the burst waits.
'
' It prints "raised N" once it has counted EXPECTED (10) Responses or after six seconds, and
' exits 0 only when it counted exactly that many, each once.
Option Explicit

Const Expected = 10
Dim A, Mode, Rebound, Count, Seen
Set A = WScript.Arguments
Mode = A(0)
Rebound = False
Count = 0
Seen = ""

Dim Snmp
Set Snmp = WScript.CreateObject("kivOstrelCtrl.kivOstrel")
WScript.ConnectObject Snmp, "Snmp_"
Do While Snmp.Stat <> 1: WScript.Sleep 20: Loop
Snmp.LocalPort = CLng(A(2))
WScript.Echo "ready"

Dim Files, Deadline
Set Files = WScript.CreateObject("Scripting.FileSystemObject")
Deadline = Timer + 10
Do Until A(1) = "-" Or Files.FileExists(A(1)) Or Timer > Deadline
Loop

Dim Waited
Waited = 0
Do While Count < Expected And Waited < 6000
  WScript.Sleep 20
  Waited = Waited + 20
Loop
' Anything raised twice, or after the count, shows here.
WScript.Sleep 200
WScript.Echo "raised " & Count & " (request ids" & Seen & "), port " & Snmp.LocalPort
If Count = Expected Then WScript.Quit 0
WScript.Quit 1

Sub Snmp_Response(RemoteIP, RemotePort, Version, RemoteCommunity, Command, RequestId, _
                  ErrorStatus, Objects, RawData)
  Count = Count + 1
  Seen = Seen & " " & RequestId
  If Mode = "handler" And Not Rebound Then
    Rebound = True
    Snmp.LocalPort = CLng(A(3))
  End If
End Sub

Sub Snmp_WsError(Ecode, Description, Where)
  WScript.Echo "socket error " & Ecode & " in " & Where & ": " & Description
End Sub
