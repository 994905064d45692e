' kivOstrel from VBScript: a tiny SNMP agent that answers GetRequest for sysDescr and sysName.
'
'   ostrelhost.exe agent.vbs [port [community [seconds [address]]]]
'
' Answers requests of `community` (default "public") on UDP `port` (default 161, where managers
' send requests; ports below 1024 may need administrator rights) of `address` (default: every
' address of this machine, IPv4 and IPv6) for `seconds` (default 60). Ask it with Net-SNMP:
'
'   snmpget -v1 -c public 127.0.0.1:161 1.3.6.1.2.1.1.5.0
Option Explicit

Const SysDescr = "1.3.6.1.2.1.1.1.0"
Const SysName = "1.3.6.1.2.1.1.5.0"
Const NoSuchName = 2
Const GenErr = 5

Dim Port, Community, Seconds, Address
Port = Arg(0, "161")
Community = Arg(1, "public")
Seconds = CLng(Arg(2, "60"))
Address = Arg(3, "")

Dim IsReady
IsReady = False

Dim Snmp
Set Snmp = WScript.CreateObject("kivOstrelCtrl.kivOstrel")
WScript.ConnectObject Snmp, "Snmp_"
' Each put binds the socket there at once; a port in use or an address that is not this
' machine's raises the socket's error, which ends the script.
If Address <> "" Then Snmp.LocalAddress = Address
Snmp.LocalPort = Port
WaitReady
WScript.Echo "agent answering on port " & Snmp.LocalPort & " for " & Seconds & " s"
WScript.Sleep Seconds * 1000

Sub Snmp_Ready()
  IsReady = True
End Sub

Sub Snmp_WsError(Ecode, Description, Where)
  WScript.Echo "socket error " & Ecode & " in " & Where & ": " & Description
End Sub

Sub Snmp_Response(RemoteIP, RemotePort, Version, RemoteCommunity, Command, RequestId, _
                  ErrorStatus, Objects, RawData)
  If Command <> "GetRequest" Or RemoteCommunity <> Community Then Exit Sub
  Dim Oid, Answer, Status, ErrorIndex
  Status = 0
  If Objects.Count <> 1 Then
    ' One binding per request keeps the example short: byte arrays are not joined here.
    Status = GenErr
    Oid = SysDescr
  Else
    Oid = Objects.Item(1).OIDName
  End If
  Select Case Oid
    Case SysDescr
      Answer = Snmp.SNMPStringValue(Oid, "kivOstrel example agent")
    Case SysName
      Answer = Snmp.SNMPStringValue(Oid, "kivostrel-agent")
    Case Else
      Status = NoSuchName
      Answer = Snmp.SNMPNullValue(Oid)
  End Select
  WScript.Echo "GetRequest " & RequestId & " for " & Oid & " from " & RemoteIP & ":" & _
               RemotePort & " -> status " & Status
  If Status <> 0 Then ErrorIndex = 1 Else ErrorIndex = 0
  ' A send is refused (error 20001) while the previous one is still going out.
  On Error Resume Next
  Snmp.SendGetResponse RemoteIP, RemotePort, Community, RequestId, Status, ErrorIndex, (Answer)
  If Err.Number <> 0 Then WScript.Echo "not answered: " & Err.Description
  On Error GoTo 0
End Sub

Function Arg(Index, Default)
  If WScript.Arguments.Count > Index Then Arg = WScript.Arguments(Index) Else Arg = Default
End Function

Sub WaitReady()
  Dim Waited
  Waited = 0
  Do While Not IsReady
    If Waited >= 3000 Then
      WScript.Echo "the control did not become ready"
      WScript.Quit 1
    End If
    WScript.Sleep 20
    Waited = Waited + 20
  Loop
End Sub
