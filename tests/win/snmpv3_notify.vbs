' Sends two SNMPv3 notifications from an engine ID its receiver knows in advance: one with
' SendNotification, one with SendTrap (an SNMPv2-Trap under SnmpVersion 3), each under the user
' and with the engine's boots put first.
'
'   ostrelhost.exe snmpv3_notify.vbs ENGINE-ID BOOTS USER AUTH AUTH-PASSWORD PRIV PRIV-PASSWORD
'                  HOST PORT
Option Explicit

Dim A
Set A = WScript.Arguments
Dim Snmp
Set Snmp = WScript.CreateObject("kivOstrelCtrl.kivOstrel")
Do While Snmp.Stat <> 1: WScript.Sleep 20: Loop
Snmp.EngineID = A(0)
Snmp.EngineBoots = A(1)
Snmp.AddUser A(2), A(3), A(4), A(5), A(6)
Snmp.SnmpVersion = 3
WScript.Echo "engine " & Snmp.EngineID & ", boots " & Snmp.EngineBoots

Dim Binding
Binding = Snmp.SNMPStringValue("1.3.6.1.4.1.99999.1", "an SNMPv3 notification from kivOstrel")
Snmp.SendNotification A(7), A(8), A(2), "1.3.6.1.4.1.99999.0.30", Binding
Do While Snmp.Stat <> 1: WScript.Sleep 20: Loop
Binding = Snmp.SNMPStringValue("1.3.6.1.4.1.99999.1", "an SNMPv3 trap from kivOstrel")
Snmp.SendTrap A(7), A(8), A(2), "1.3.6.1.4.1.99999", 6, "31", Binding
Do While Snmp.Stat <> 1: WScript.Sleep 20: Loop
WScript.Echo "notifications sent"
