' kivOstrel from VBScript: a trap receiver that prints the traps and informs it receives.
'
'   ostrelhost.exe traps.vbs [port [seconds [address]]]
'
' Listens on UDP `port` (default 162, where traps are sent; ports below 1024 may need
' administrator rights) of `address` (default: every address of this machine, IPv4 and IPv6)
' for `seconds` (default 60). Send it traps and informs with Net-SNMP, for example:
'
'   snmptrap -v1 -c public 127.0.0.1:162 1.3.6.1.4.1.99999 127.0.0.1 6 17 ''
'   snmptrap -v 2c -c public 127.0.0.1:162 '' 1.3.6.1.4.1.99999.0.17
'   snmpinform -v 2c -c public 127.0.0.1:162 '' 1.3.6.1.4.1.99999.0.17
'
' Each arrives as Response, its bindings in the SNMPv2 notification form: sysUpTime.0,
' snmpTrapOID.0, then the notification's own bindings. An SNMPv1 trap has Command "Trap" and
' ends with its agent address, community and enterprise; an SNMPv2c trap has Command
' "SNMPv2-Trap"; an inform has Command "InformRequest", and the control has acknowledged it
' already when the Response is raised, so the script has nothing to send.
Option Explicit

Dim Port, Seconds, Address
Port = Arg(0, "162")
Seconds = CLng(Arg(1, "60"))
Address = Arg(2, "")

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
WScript.Echo "listening for traps on port " & Snmp.LocalPort & " for " & Seconds & " s"
WScript.Sleep Seconds * 1000

Sub Snmp_Ready()
  IsReady = True
End Sub

Sub Snmp_WsError(Ecode, Description, Where)
  WScript.Echo "socket error " & Ecode & " in " & Where & ": " & Description
End Sub

Sub Snmp_Response(RemoteIP, RemotePort, Version, RemoteCommunity, Command, RequestId, _
                  ErrorStatus, Objects, RawData)
  Dim Kind
  Select Case Command
    Case "Trap"
      Kind = "trap"
    Case "SNMPv2-Trap"
      Kind = "SNMPv2 trap"
    Case "InformRequest"
      Kind = "inform " & RequestId & " (acknowledged)"
    Case Else
      Exit Sub
  End Select
  WScript.Echo Kind & " from " & RemoteIP & ":" & RemotePort & ", community " & RemoteCommunity
  Dim Index, Binding, Value
  For Index = 1 To Objects.Count
    Set Binding = Objects.Item(Index)
    If IsArray(Binding.OIDValue) Then Value = "(bytes)" Else Value = Binding.OIDValue & ""
    WScript.Echo "  " & Snmp.OID2Name(Binding.OIDName) & " " & Binding.OIDTypeName & ": " & Value
  Next
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
