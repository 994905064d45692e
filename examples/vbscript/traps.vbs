' kivOstrel from VBScript: prints the traps it receives.
'
'   ostrelhost.exe traps.vbs [announce-to [port [community [seconds]]]]
'
' The control listens on a port the system chooses. So that a trap sender can find it, the
' example first sends a coldStart trap to announce-to:port (default 127.0.0.1:162); traps sent
' back to the address and port that trap came from are printed, for `seconds` (default 60).
' A received trap arrives as Response with Command "Trap" and its bindings in the SNMPv2
' notification form: sysUpTime.0, snmpTrapOID.0, the trap's own bindings, then the agent
' address, community and enterprise.
Option Explicit

Dim Target, Port, Community, Seconds
Target = Arg(0, "127.0.0.1")
Port = Arg(1, "162")
Community = Arg(2, "public")
Seconds = CLng(Arg(3, "60"))

Dim IsReady
IsReady = False

Dim Snmp
Set Snmp = WScript.CreateObject("kivOstrelCtrl.kivOstrel")
WScript.ConnectObject Snmp, "Snmp_"
WaitReady
IsReady = False
Snmp.SendTrap Target, Port, Community, "1.3.6.1.4.1.99999", 0, "0"
WaitReady
WScript.Echo "listening for traps for " & Seconds & " s (announced to " & Target & ":" & Port & ")"
WScript.Sleep Seconds * 1000

Sub Snmp_Ready()
  IsReady = True
End Sub

Sub Snmp_WsError(Ecode, Description, Where)
  WScript.Echo "socket error " & Ecode & " in " & Where & ": " & Description
End Sub

Sub Snmp_Response(RemoteIP, RemotePort, Version, RemoteCommunity, Command, RequestId, _
                  ErrorStatus, Objects, RawData)
  If Command <> "Trap" Then Exit Sub
  WScript.Echo "trap from " & RemoteIP & ":" & RemotePort & ", community " & RemoteCommunity
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
