' kivOstrel from VBScript: a trap receiver that prints the traps and informs it receives.
'
'   ostrelhost.exe traps.vbs [-m mib-folder] [-e engine-id boots-file]
'                  [-v3 user auth-protocol auth-password priv-protocol priv-password]
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
'
' With "-m", every MIB module file in mib-folder is loaded (their imports are looked up there
' too): bindings are then shown by their objects' names, table rows by their index
' ("ifOperStatus[2]"), values as the modules describe them ("down(2)"), and object identifiers
' by name ("snmpTrapOID.0 ObjectID: linkDown"). What the control could not read in a module is
' printed once, as MibWarnings has it. For example, with IF-MIB and its imports in C:\mibs:
'
'   ostrelhost.exe traps.vbs -m C:\mibs 162
'   snmptrap -v 2c -c public 127.0.0.1:162 '' 1.3.6.1.6.3.1.1.5.3 \
'     1.3.6.1.2.1.2.2.1.1.2 i 2 1.3.6.1.2.1.2.2.1.8.2 i 2
'
' With "-e", the control's engine is the one given (its EngineID), the engine senders of informs
' know in advance, and its EngineBoots are kept in boots-file: each run counts one more boot
' than the last, as an SNMPv3 engine must, so that an inform captured before a restart is
' refused after it ("not in time window") instead of shown again.
Option Explicit

' --- "-m mib-folder", "-e engine-id boots-file", then SNMPv3's "-v3" and the user's five ---
Dim V3User, Skipped, EngineId, BootsFile, MibFolder
V3User = ""
EngineId = ""
MibFolder = ""
Skipped = 0
If WScript.Arguments.Count >= 2 Then
  If LCase(WScript.Arguments(0)) = "-m" Then
    MibFolder = WScript.Arguments(1)
    Skipped = 2
  End If
End If
If WScript.Arguments.Count >= Skipped + 3 Then
  If LCase(WScript.Arguments(Skipped)) = "-e" Then
    EngineId = WScript.Arguments(Skipped + 1)
    BootsFile = WScript.Arguments(Skipped + 2)
    Skipped = Skipped + 3
  End If
End If
If WScript.Arguments.Count >= Skipped + 6 Then
  If LCase(WScript.Arguments(Skipped)) = "-v3" Then
    V3User = WScript.Arguments(Skipped + 1)
    Skipped = Skipped + 6
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
  Snmp.AddUser V3User, WScript.Arguments(Skipped - 4), WScript.Arguments(Skipped - 3), _
               WScript.Arguments(Skipped - 2), WScript.Arguments(Skipped - 1)
End If
If MibFolder <> "" Then LoadMibs MibFolder
If EngineId <> "" Then
  Snmp.EngineID = EngineId
  Snmp.EngineBoots = NextBoots(BootsFile)
  WScript.Echo "engine " & Snmp.EngineID & ", boots " & Snmp.EngineBoots
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
  Dim Index, Binding, Name, Value
  For Index = 1 To Objects.Count
    Set Binding = Objects.Item(Index)
    If MibFolder <> "" Then
      Name = Snmp.IndexedName(Binding.OIDName)
      Value = Snmp.FormatValue(Binding.OIDName, Binding.OIDValue)
      If Binding.OIDTypeName = "ObjectID" Then Value = Snmp.IndexedName(Value)
    Else
      Name = Snmp.OID2Name(Binding.OIDName)
      If IsArray(Binding.OIDValue) Then Value = "(bytes)" Else Value = Binding.OIDValue & ""
    End If
    WScript.Echo "  " & Name & " " & Binding.OIDTypeName & ": " & Value
  Next
End Sub

' Loads every file of Folder as a MIB module, its imports looked up in Folder too. A file that
' is no module is said so and skipped; what the control could not read in a module is printed.
Sub LoadMibs(Folder)
  Dim Files, File, Loaded
  Set Files = CreateObject("Scripting.FileSystemObject")
  Snmp.MibPath = Folder
  Loaded = 0
  For Each File In Files.GetFolder(Folder).Files
    On Error Resume Next
    Snmp.LoadMib File.Path
    If Err.Number <> 0 Then
      WScript.Echo "not loaded: " & Err.Description
    Else
      Loaded = Loaded + 1
      If Snmp.MibWarnings <> "" Then WScript.Echo Snmp.MibWarnings
    End If
    On Error GoTo 0
  Next
  WScript.Echo Loaded & " MIB modules loaded from " & Folder
End Sub

' The boots for this run: one more than the file says (1 when there is no file), written back
' before the engine uses them.
Function NextBoots(Path)
  Dim Files, Text
  Set Files = CreateObject("Scripting.FileSystemObject")
  NextBoots = 1
  If Files.FileExists(Path) Then
    Set Text = Files.OpenTextFile(Path)
    If Not Text.AtEndOfStream Then NextBoots = CLng(Text.ReadLine) + 1
    Text.Close
  End If
  Set Text = Files.CreateTextFile(Path, True)
  Text.WriteLine CStr(NextBoots)
  Text.Close
End Function

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
