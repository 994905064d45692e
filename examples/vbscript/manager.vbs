' kivOstrel from VBScript: a small SNMP manager.
'
' Reads sysDescr, walks the system group, sets sysContact and reads it back, then sends a trap.
'
'   ostrelhost.exe manager.vbs [agent [port [community [write-community [trap-port]]]]]
'
' Defaults: 127.0.0.1, port 161, community "public", write community "private", traps to
' port 162 of the same host. Any host that offers WScript.ConnectObject and a message-pumping
' WScript.Sleep runs it (ostrelhost.exe does; Wine's cscript does not).
Option Explicit

Const SystemGroup = "1.3.6.1.2.1.1"
Const SysDescr = "1.3.6.1.2.1.1.1.0"
Const SysContact = "1.3.6.1.2.1.1.4.0"
Const TimeoutMs = 3000

Dim Agent, Port, Community, WriteCommunity, TrapPort
Agent = Arg(0, "127.0.0.1")
Port = Arg(1, "161")
Community = Arg(2, "public")
WriteCommunity = Arg(3, "private")
TrapPort = Arg(4, "162")

' Filled by the event handlers below.
Dim IsReady, Replied, ReplyStatus, Reply, ExpectedId
IsReady = False
ExpectedId = 0

Dim Snmp
Set Snmp = WScript.CreateObject("kivOstrelCtrl.kivOstrel")
WScript.ConnectObject Snmp, "Snmp_"
WScript.Echo Snmp.Copyright

Dim Answer, Item, Oid, Count
WScript.Echo "== get sysDescr from " & Agent & ":" & Port
Set Answer = Request("get", SysDescr, Empty)
ShowAll Answer

WScript.Echo "== walk the system group"
Oid = SystemGroup
Count = 0
Do
  Set Answer = Request("next", Oid, Empty)
  If Answer Is Nothing Then Exit Do
  Set Item = Answer.Item(1)
  If Left(Item.OIDName, Len(SystemGroup) + 1) <> SystemGroup & "." Then Exit Do
  Show Item
  Oid = Item.OIDName
  Count = Count + 1
Loop While Count < 100

WScript.Echo "== set sysContact"
Set Answer = Request("set", SysContact, "kivOstrel example <ops@example.org>")
ShowAll Answer
WScript.Echo "== get sysContact back"
Set Answer = Request("get", SysContact, Empty)
ShowAll Answer

WScript.Echo "== send a trap to " & Agent & ":" & TrapPort
Dim Binding
Binding = Snmp.SNMPStringValue("1.3.6.1.4.1.99999.1", "hello from kivOstrel")
WaitReady
IsReady = False
' Enterprise 1.3.6.1.4.1.99999, enterpriseSpecific (6), specific type 17.
Snmp.SendTrap Agent, TrapPort, Community, "1.3.6.1.4.1.99999", 6, "17", (Binding)
WaitReady
WScript.Echo "trap sent"

' --- events -----------------------------------------------------------------------------------

Sub Snmp_Ready()
  IsReady = True
End Sub

Sub Snmp_WsError(Ecode, Description, Where)
  WScript.Echo "socket error " & Ecode & " in " & Where & ": " & Description
End Sub

Sub Snmp_Response(RemoteIP, RemotePort, Version, RemoteCommunity, Command, RequestId, _
                  ErrorStatus, Objects, RawData)
  If Command = "GetResponse" And RequestId = ExpectedId Then
    Set Reply = Objects
    ReplyStatus = ErrorStatus
    Replied = True
  End If
End Sub

' --- helpers ----------------------------------------------------------------------------------

' The argument at Index, or Default when there is none.
Function Arg(Index, Default)
  If WScript.Arguments.Count > Index Then Arg = WScript.Arguments(Index) Else Arg = Default
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

' Sends one request ("get", "next" or "set") and waits for its answer: the objects of the
' response, or Nothing after an error status or the time-out.
Function Request(Kind, ObjectId, Value)
  Dim Bindings, Waited
  Set Request = Nothing
  WaitReady
  ExpectedId = ExpectedId + 1
  Replied = False
  IsReady = False
  ' Bindings go in parentheses, passed by value; the control takes a byte array passed by
  ' reference in a script's variable as well.
  Select Case Kind
    Case "get"
      Bindings = Snmp.SNMPNullValue(ObjectId)
      Snmp.SendGetRequest Agent, Port, Community, ExpectedId, (Bindings)
    Case "next"
      Bindings = Snmp.SNMPNullValue(ObjectId)
      Snmp.SendGetNextRequest Agent, Port, Community, ExpectedId, (Bindings)
    Case "set"
      Bindings = Snmp.SNMPStringValue(ObjectId, Value)
      Snmp.SendSetRequest Agent, Port, WriteCommunity, ExpectedId, (Bindings)
  End Select
  Waited = 0
  Do While Not Replied And Waited < TimeoutMs
    WScript.Sleep 20
    Waited = Waited + 20
  Loop
  If Not Replied Then
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
