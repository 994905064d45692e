' Reads sysName.0 over SNMPv3 as each user given, one GetRequest each, and prints what came back:
' "NAME GetResponse VALUE", "NAME refused SECURITYERROR" or "NAME no answer".
'
'   ostrelhost.exe snmpv3_pairs.vbs HOST PORT AUTH-PASSWORD PRIV-PASSWORD NAME:AUTH:PRIV...
Option Explicit

Dim A, Snmp, Answer, Asked, Binding, Parts, Waited, i
Set A = WScript.Arguments
Set Snmp = WScript.CreateObject("kivOstrelCtrl.kivOstrel")
WScript.ConnectObject Snmp, "Snmp_"
Do While Snmp.Stat <> 1: WScript.Sleep 20: Loop
Snmp.SnmpVersion = 3
Binding = Snmp.SNMPNullValue("1.3.6.1.2.1.1.5.0")
For i = 4 To A.Count - 1
  Parts = Split(A(i), ":")
  Snmp.AddUser Parts(0), Parts(1), A(2), Parts(2), A(3)
  Answer = ""
  Asked = i
  Snmp.SendGetRequest A(0), A(1), Parts(0), i, Binding
  Waited = 0
  Do While Answer = "" And Waited < 5000
    WScript.Sleep 20
    Waited = Waited + 20
  Loop
  If Answer = "" Then Answer = "no answer"
  WScript.Echo Parts(0) & " " & Answer
  Do While Snmp.Stat <> 1: WScript.Sleep 20: Loop
Next

Sub Snmp_Response(IP, Port, Version, Community, Command, Id, Status, Objects, RawData)
  If Command = "Report" Then
    Answer = "refused " & Snmp.SecurityError
  ElseIf Id = Asked Then
    Answer = Command & " " & Objects.Item(1).OIDValue
  End If
End Sub
