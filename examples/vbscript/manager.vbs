' kivOstrel from VBScript: a small SNMP manager.
'
' Reads sysDescr, walks the system group, sets sysContact and reads it back, sends a trap; then,
' over SNMPv2c, reads sysName and ifHCInOctets.1 (a Counter64) in one request, the Counter64 again
' a second later for its rate, and walks the system group with GetBulkRequest. Over SNMPv3 (below)
' it does all of it as one user.
'
'   ostrelhost.exe manager.vbs [agent [port [community [write-community [trap-port]]]]]
'
' Defaults: 127.0.0.1, port 161, community "public", write community "private", traps to
' port 162 of the same host. Any host that offers WScript.ConnectObject and a message-pumping
' WScript.Sleep runs it (ostrelhost.exe does; Wine's cscript does not).
'
' Over SNMPv3, as one user of the agent, with authentication and privacy:
'
'   ostrelhost.exe manager.vbs -v3 user auth-protocol auth-password priv-protocol priv-password
'                  [agent [port [trap-port]]]
'
' for example `-v3 ops SHA "my auth pass" AES "my priv pass"`, the agent configured with
' `createUser ops SHA "my auth pass" AES "my priv pass"` and `rwuser ops priv` (Net-SNMP's
' snmpd.conf). Every message is then SNMPv3 under that user, and instead of the trap an inform
' goes to the trap port, where a receiver that knows the user acknowledges it (snmptrapd with the
' same createUser line). An agent that refuses the user answers with a Report, which ends the
' script: SecurityError says why ("wrong digest" for a wrong password, "unknown user").
' Passwords on a command line can be seen by other users of the machine: in real use, read them
' from somewhere safer.
Option Explicit

Const SystemGroup = "1.3.6.1.2.1.1"
Const SysDescr = "1.3.6.1.2.1.1.1.0"
Const SysContact = "1.3.6.1.2.1.1.4.0"
Const SysName = "1.3.6.1.2.1.1.5.0"
Const IfHCInOctets = "1.3.6.1.2.1.31.1.1.1.6"
Const BulkRepetitions = 5
Const TimeoutMs = 3000

' --- SNMPv3: "-v3" and the user's five arguments come before the others ---
Dim V3, Skipped
V3 = False
Skipped = 0
If WScript.Arguments.Count >= 6 Then
  If LCase(WScript.Arguments(0)) = "-v3" Then
    V3 = True
    Skipped = 6
  End If
End If

Dim Agent, Port, Community, WriteCommunity, TrapPort
Agent = Arg(0, "127.0.0.1")
Port = Arg(1, "161")
If V3 Then
  ' Under SNMPv3 a send's community argument names the user.
  Community = WScript.Arguments(1)
  WriteCommunity = Community
  TrapPort = Arg(2, "162")
Else
  Community = Arg(2, "public")
  WriteCommunity = Arg(3, "private")
  TrapPort = Arg(4, "162")
End If

' Filled by the event handlers below.
Dim IsReady, Replied, ReplyStatus, Reply, ExpectedId, Refused
IsReady = False
ExpectedId = 0
Refused = ""

Dim Snmp
Set Snmp = WScript.CreateObject("kivOstrelCtrl.kivOstrel")
WScript.ConnectObject Snmp, "Snmp_"
WScript.Echo Snmp.Copyright

If V3 Then
  ' The user's keys are made here; a protocol this system lacks or a password shorter than 8
  ' characters raises error 5, saying which.
  Snmp.AddUser Community, WScript.Arguments(2), WScript.Arguments(3), WScript.Arguments(4), _
               WScript.Arguments(5)
  ' Every message is SNMPv3 from here on. The first request to the agent goes out after a
  ' discovery of its engine, which the control makes by itself.
  Snmp.SnmpVersion = 3
  WScript.Echo "SNMPv3 as user " & Community & ", this engine " & Snmp.EngineID
End If

Dim Answer, Item, Oid, Count
WScript.Echo "== get sysDescr from " & Agent & ":" & Port
Set Answer = Request("get", Snmp.SNMPNullValue(SysDescr))
ShowAll Answer

WScript.Echo "== walk the system group"
Oid = SystemGroup
Count = 0
Do
  Set Answer = Request("next", Snmp.SNMPNullValue(Oid))
  If Answer Is Nothing Then Exit Do
  Set Item = Answer.Item(1)
  If Left(Item.OIDName, Len(SystemGroup) + 1) <> SystemGroup & "." Then Exit Do
  Show Item
  Oid = Item.OIDName
  Count = Count + 1
Loop While Count < 100

WScript.Echo "== set sysContact"
Set Answer = Request("set", Snmp.SNMPStringValue(SysContact, "kivOstrel example <ops@example.org>"))
ShowAll Answer
WScript.Echo "== get sysContact back"
Set Answer = Request("get", Snmp.SNMPNullValue(SysContact))
ShowAll Answer

Dim Binding
If V3 Then
  ' An inform, which the receiver acknowledges: Request waits for its GetResponse.
  WScript.Echo "== send an inform to " & Agent & ":" & TrapPort
  Binding = Snmp.SNMPStringValue("1.3.6.1.4.1.99999.1", "hello from kivOstrel over SNMPv3")
  If Not Request("inform", Binding) Is Nothing Then WScript.Echo "inform acknowledged"
Else
  WScript.Echo "== send a trap to " & Agent & ":" & TrapPort
  Binding = Snmp.SNMPStringValue("1.3.6.1.4.1.99999.1", "hello from kivOstrel")
  WaitReady
  IsReady = False
  ' Enterprise 1.3.6.1.4.1.99999, enterpriseSpecific (6), specific type 17.
  Snmp.SendTrap Agent, TrapPort, Community, "1.3.6.1.4.1.99999", 6, "17", (Binding)
  WaitReady
  WScript.Echo "trap sent"

  ' Every message from here on is SNMPv2c.
  Snmp.SnmpVersion = 1
End If
' The control's table has no name for the Counter64: one row gives it.
Snmp.SetOID IfHCInOctets, _
            "iso.org.dod.internet.mgmt.mib.ifMIB.ifMIBObjects.ifXTable.ifXEntry.ifHCInOctets"
WScript.Echo "== " & VersionName() & ": get sysName and ifHCInOctets.1 in one request"
Dim Bindings, First, Started, Elapsed
Bindings = Snmp.JoinBindings(Snmp.SNMPNullValue(SysName), Snmp.SNMPNullValue(IfHCInOctets & ".1"))
Set Answer = Request("get", Bindings)
ShowAll Answer
' A Counter64 arrives as a Decimal: exact to its 20 digits, and so is arithmetic on it. (An agent
' may refresh its counters only every few seconds.)
If Not Answer Is Nothing Then
  First = Answer.Item(2).OIDValue
  Started = Timer
  WScript.Sleep 1000
  Set Answer = Request("get", Snmp.SNMPNullValue(IfHCInOctets & ".1"))
  Elapsed = Timer - Started
  If Not Answer Is Nothing Then
    WScript.Echo "ifHCInOctets.1 grew by " & (Answer.Item(1).OIDValue - First) & " octets in " & _
                 Round(Elapsed, 2) & " s"
  End If
End If

WScript.Echo "== walk the system group with GetBulkRequest, " & BulkRepetitions & _
             " objects a request"
Dim Requests, Done, Index
Oid = SystemGroup
Count = 0
Requests = 0
Done = False
Do
  Set Answer = Request("bulk", Snmp.SNMPNullValue(Oid))
  If Answer Is Nothing Then Exit Do
  Requests = Requests + 1
  Done = Answer.Count = 0
  For Index = 1 To Answer.Count
    Set Item = Answer.Item(Index)
    ' The walk ends past the group or at the end of the agent's objects.
    If Left(Item.OIDName, Len(SystemGroup) + 1) <> SystemGroup & "." Or _
       Item.OIDTypeName = "EndOfMibView" Then
      Done = True
      Exit For
    End If
    Show Item
    Oid = Item.OIDName
    Count = Count + 1
  Next
Loop Until Done Or Requests >= 20
WScript.Echo Count & " objects of the system group in " & Requests & " GetBulkRequests"

' --- events -----------------------------------------------------------------------------------

Sub Snmp_Ready()
  IsReady = True
End Sub

Sub Snmp_WsError(Ecode, Description, Where)
  WScript.Echo "socket error " & Ecode & " in " & Where & ": " & Description
End Sub

Sub Snmp_Response(RemoteIP, RemotePort, Version, RemoteCommunity, Command, RequestId, _
                  ErrorStatus, Objects, RawData)
  If V3 Then
    ' Anyone can send a datagram, and the control raises each one. Under SNMPv3 the answer is
    ' only what the control accepted as the user's (Version 3, the user, no SecurityError), from
    ' the agent.
    If Version <> 3 Or RemoteIP <> Agent Then Exit Sub
    If Command = "Report" Then
      ' The agent refused the request: its Report names the counter of the reason (as
      ' usmStatsWrongDigests.0). Agents cannot authenticate these refusals; any other Report,
      ' or an answer this control refused (ErrorStatus -1), may be anyone's and ends nothing.
      If ErrorStatus = -1 Then Exit Sub
      Select Case Snmp.SecurityError
        Case "unknown user", "wrong digest", "unsupported security level", "decryption error"
          Refused = Snmp.SecurityError
          If Objects.Count > 0 Then Refused = Refused & " (Report " & Objects.Item(1).OIDName & ")"
          Replied = True
      End Select
      Exit Sub
    End If
    If RemoteCommunity <> Community Or Snmp.SecurityError <> "" Then Exit Sub
  End If
  If Command = "GetResponse" And RequestId = ExpectedId Then
    Set Reply = Objects
    ReplyStatus = ErrorStatus
    Replied = True
  End If
End Sub

' --- helpers ----------------------------------------------------------------------------------

' The argument at Index after the SNMPv3 ones, or Default when there is none.
Function Arg(Index, Default)
  If WScript.Arguments.Count > Index + Skipped Then
    Arg = WScript.Arguments(Index + Skipped)
  Else
    Arg = Default
  End If
End Function

Function VersionName()
  If V3 Then VersionName = "SNMPv3" Else VersionName = "SNMPv2c"
End Function

' Waits for the control to take the next send (Ready follows every send and the socket opening).
Sub WaitReady()
  Dim Waited
  Waited = 0
  Do While Not IsReady
    If Waited >= TimeoutMs Then
      WScript.Echo "the control did not become ready"
      WScript.Quit 1
    End If
    WScript.Sleep 20
    Waited = Waited + 20
  Loop
End Sub

' Sends one request ("get", "next", "set", "bulk" or "inform") with the binding list Bindings and
' waits for its answer: the objects of the response, or Nothing after an error status or the
' time-out. A Report (SNMPv3) ends the script.
Function Request(Kind, Bindings)
  Dim Waited
  Set Request = Nothing
  WaitReady
  ExpectedId = ExpectedId + 1
  Replied = False
  IsReady = False
  ' The control takes a byte array in a script's variable, passed by reference as here, as well
  ' as one passed by value.
  Select Case Kind
    Case "get"
      Snmp.SendGetRequest Agent, Port, Community, ExpectedId, Bindings
    Case "next"
      Snmp.SendGetNextRequest Agent, Port, Community, ExpectedId, Bindings
    Case "set"
      Snmp.SendSetRequest Agent, Port, WriteCommunity, ExpectedId, Bindings
    Case "bulk"
      ' No non-repeaters: every binding is repeated.
      Snmp.SendGetBulkRequest Agent, Port, Community, ExpectedId, 0, BulkRepetitions, Bindings
    Case "inform"
      ' coldStart's notification OID, to the trap port.
      Snmp.SendInformRequest Agent, TrapPort, Community, ExpectedId, "1.3.6.1.6.3.1.1.5.1", _
                             Bindings
  End Select
  Waited = 0
  Do While Not Replied And Waited < TimeoutMs
    WScript.Sleep 20
    Waited = Waited + 20
  Loop
  If Refused <> "" Then
    WScript.Echo "refused: " & Refused
    WScript.Quit 1
  ElseIf Not Replied Then
    WScript.Echo "no answer from " & Agent & ":" & Port
  ElseIf ReplyStatus <> 0 Then
    WScript.Echo "error status " & ReplyStatus & " (" & Snmp.Err2Str(ReplyStatus) & ")"
  Else
    Set Request = Reply
  End If
End Function

Sub ShowAll(Objects)
  Dim Index
  If Objects Is Nothing Then Exit Sub
  For Index = 1 To Objects.Count
    Show Objects.Item(Index)
  Next
End Sub

'' One binding: numeric OID, its name from the control's table, type and value.
Sub Show(Binding)
  Dim Value
  If IsArray(Binding.OIDValue) Then Value = "(bytes)" Else Value = Binding.OIDValue & ""
  WScript.Echo Binding.OIDName & " " & ShortName(Binding.OIDName) & " " & Binding.OIDTypeName & _
               ": " & Value
End Sub

' The last label of the OID's dotted name and the numbers after it: "sysDescr.0".
Function ShortName(Oid)
  Dim Parts, Last, Index
  Parts = Split(Snmp.OID2Name(Oid), ".")
  Last = UBound(Parts)
  Do While Last > 0 And IsNumeric(Parts(Last))
    Last = Last - 1
  Loop
  ShortName = Parts(Last)
  For Index = Last + 1 To UBound(Parts)
    ShortName = ShortName & "." & Parts(Index)
  Next
End Function
