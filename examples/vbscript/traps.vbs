' kivOstrel from VBScript: a trap receiver that prints the traps and informs it receives.
'
'   ostrelhost.exe traps.vbs [-v3 user auth-protocol auth-password priv-protocol priv-password]
'                  [port [seconds [address]]]
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
'
' With "-v3" and a user's five arguments first, it also takes SNMPv3 notifications from that user
' (SNMPv1 and SNMPv2c ones still arrive as before):
'
'   ostrelhost.exe traps.vbs -v3 ops SHA "my auth pass" AES "my priv pass" 162
'   snmptrap -v3 -u ops -l authPriv -a SHA -A "my auth pass" -x AES -X "my priv pass" \
'     -e 0x8000000001020304 127.0.0.1:162 '' 1.3.6.1.4.1.99999.0.17
'   snmpinform -v3 -u ops -l authPriv -a SHA -A "my auth pass" -x AES -X "my priv pass" \
'     127.0.0.1:162 '' 1.3.6.1.4.1.99999.0.17
'
' A trap comes from the sender's own engine (snmptrap's -e), whose keys the control makes from the
' user's passwords when the first trap arrives; an inform goes to this control's engine, which
' snmpinform discovers first (the control answers that by itself). Both arrive with Version 3 and
' the user name as the community. A notification that fails the user's checks arrives as a
' Response with Command "Report", ErrorStatus -1 and no bindings, and SecurityError says why
' ("wrong digest" for a wrong password, "unknown user", "not in time window").
Option Explicit

' --- SNMPv3: "-v3" and the user's five arguments come before the others ---
Dim V3User, Skipped
V3User = ""
Skipped = 0
If WScript.Arguments.Count >= 6 Then
  If LCase(WScript.Arguments(0)) = "-v3" Then
    V3User = WScript.Arguments(1)
    Skipped = 6
  End If
End If

Dim Port, Seconds, Address
Port = Arg(0, "162")
Seconds = CLng(Arg(1, "60"))
Address = Arg(2, "")

Dim IsReady
IsReady = False

Dim Snmp
Set Snmp = WScript.CreateObject("kivOstrelCtrl.kivOstrel")
WScript.ConnectObject Snmp, "Snmp_"
If V3User <> "" Then
  Snmp.AddUser V3User, WScript.Arguments(2), WScript.Arguments(3), WScript.Arguments(4), _
               WScript.Arguments(5)
End If
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
  Dim Kind, Sender
  If Version = 3 Then Sender = ", user " Else Sender = ", community "
  If Command = "Report" And ErrorStatus = -1 Then
    WScript.Echo "refused SNMPv3 message from " & RemoteIP & ":" & RemotePort & Sender & _
                 RemoteCommunity & ": " & Snmp.SecurityError
    Exit Sub
  End If
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
  ' An SNMPv3 notification carries the same PDUs as an SNMPv2c one.
  If Version = 3 Then Kind = "SNMPv3 " & Replace(Kind, "SNMPv2 ", "")
  WScript.Echo Kind & " from " & RemoteIP & ":" & RemotePort & Sender & RemoteCommunity
  Dim Index, Binding, Value
  For Index = 1 To Objects.Count
    Set Binding = Objects.Item(Index)
    If IsArray(Binding.OIDValue) Then Value = "(bytes)" Else Value = Binding.OIDValue & ""
    WScript.Echo "  " & Snmp.OID2Name(Binding.OIDName) & " " & Binding.OIDTypeName & ": " & Value
  Next
End Sub

' The argument at Index after the SNMPv3 ones, or Default when there is none.
Function Arg(Index, Default)
  If WScript.Arguments.Count > Index + Skipped Then
    Arg = WScript.Arguments(Index + Skipped)
  Else
    Arg = Default
  End If
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
