' kivOstrel from VBScript: a tiny SNMP agent for SNMPv1, SNMPv2c and SNMPv3 managers.
'
'   ostrelhost.exe agent.vbs [-v3 user auth-protocol auth-password priv-protocol priv-password]
'                  [port [community [seconds [address]]]]
'
' Answers requests of `community` (default "public") on UDP `port` (default 161, where managers
' send requests; ports below 1024 may need administrator rights) of `address` (default: every
' address of this machine, IPv4 and IPv6) for `seconds` (default 60). It serves four objects:
' sysDescr.0, sysUpTime.0, sysName.0 and ifHCInOctets.1, a Counter64 that only SNMPv2c and SNMPv3
' managers see. It answers GetRequest, GetNextRequest and GetBulkRequest, each in the version the
' request came in: SNMPv2c and SNMPv3 managers get noSuchObject, noSuchInstance and endOfMibView
' where an SNMPv1 one gets noSuchName, and a GetBulk's repetitions stop at the end of the objects
' (at 100 at most, so that the answer fits one datagram). Ask it with Net-SNMP:
'
'   snmpget -v1 -c public 127.0.0.1:161 1.3.6.1.2.1.1.5.0
'   snmpget -v2c -c public 127.0.0.1:161 1.3.6.1.2.1.1.5.0 1.3.6.1.2.1.31.1.1.1.6.1
'   snmpbulkget -v2c -c public -Cn0 -Cr10 127.0.0.1:161 1.3.6.1.2.1.1
'
' With "-v3" and a user's five arguments first it also answers that user's SNMPv3 requests:
'
'   ostrelhost.exe agent.vbs -v3 ops SHA "my auth pass" AES "my priv pass" 161
'   snmpget -v3 -u ops -l authPriv -a SHA -A "my auth pass" -x AES -X "my priv pass" \
'     127.0.0.1:161 1.3.6.1.2.1.1.5.0
'
' The manager needs no engine ID (-e): the control is the authoritative engine and answers the
' manager's discovery itself, with its EngineID and EngineBoots. A request reaches the script
' only once the control has checked its digest, time window and encryption; the answer goes out
' under the request's user, security level and context (SendGetResponse finds them from the
' sender and the request id). A request that fails the checks is answered with a Report by the
' control and reaches the script as a Response with Command "Report" and ErrorStatus -1, with
' SecurityError saying why.
Option Explicit

Const IfHCInOctets1 = "1.3.6.1.2.1.31.1.1.1.6.1"
Const NoSuchName = 2
Const GenErr = 5
Const MaxRepetitions = 100

' The objects in OID order, the order GetNext and GetBulk walk them in.
Dim Oids
Oids = Array("1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.3.0", "1.3.6.1.2.1.1.5.0", IfHCInOctets1)

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

Dim Port, Community, Seconds, Address
Port = Arg(0, "161")
Community = Arg(1, "public")
Seconds = CLng(Arg(2, "60"))
Address = Arg(3, "")

Dim IsReady, Started
IsReady = False
Started = Timer

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
  If Version = 3 Then
    ' The control refused it and has answered with a Report.
    If Command = "Report" And ErrorStatus = -1 Then
      WScript.Echo "refused SNMPv3 request from " & RemoteIP & ":" & RemotePort & ", user " & _
                   RemoteCommunity & ": " & Snmp.SecurityError
    End If
    If RemoteCommunity <> V3User Then Exit Sub
  ElseIf RemoteCommunity <> Community Or Version > 1 Then
    Exit Sub
  End If
  ' An answer goes out in the version of its request.
  Snmp.SnmpVersion = Version
  Dim Answer, Status, Failed, Index, Names, Oid, Asked, Binding, Repeat, Repeaters, Last, First
  Dim Repetitions, Moved
  Answer = Snmp.JoinBindings()
  Status = 0
  Failed = 0
  Select Case Command
    Case "GetRequest", "GetNextRequest"
      For Index = 1 To Objects.Count
        Asked = Objects.Item(Index).OIDName
        Names = Names & " " & Asked
        Oid = Asked
        If Command = "GetNextRequest" Then Oid = NextOid(Asked, Version)
        If Known(Oid, Version) Then
          Binding = ValueOf(Oid)
        ElseIf Version = 0 Then
          ' SNMPv1 has no exceptions: the request fails at this binding.
          Binding = Snmp.SNMPNullValue(Asked)
          If Failed = 0 Then Failed = Index
        ElseIf Command = "GetNextRequest" Then
          Binding = Snmp.SNMPEndOfMibViewValue(Asked)
        ElseIf HasObject(Asked) Then
          Binding = Snmp.SNMPNoSuchInstanceValue(Asked)
        Else
          Binding = Snmp.SNMPNoSuchObjectValue(Asked)
        End If
        Answer = Snmp.JoinBindings(Answer, Binding)
      Next
      If Failed <> 0 Then Status = NoSuchName
    Case "GetBulkRequest"
      ' Non-repeaters arrive as the error status, max-repetitions as the error index. Past the
      ' last object a binding is endOfMibView, and the repetitions stop once every repeater is
      ' there.
      First = ErrorStatus
      If First > Objects.Count Then First = Objects.Count
      If First < 0 Then First = 0
      Repetitions = Snmp.ErrorIndex
      If Repetitions > MaxRepetitions Then Repetitions = MaxRepetitions
      ReDim Repeaters(Objects.Count)
      ReDim Last(Objects.Count)
      For Index = 1 To Objects.Count
        Asked = Objects.Item(Index).OIDName
        Oid = NextOid(Asked, Version)
        Repeaters(Index) = Oid
        Last(Index) = Asked
        If Index <= First Then
          If Oid <> "" Then Binding = ValueOf(Oid) Else Binding = Snmp.SNMPEndOfMibViewValue(Asked)
          Answer = Snmp.JoinBindings(Answer, Binding)
        End If
        Names = Names & " " & Asked
      Next
      For Repeat = 1 To Repetitions
        Moved = False
        For Index = First + 1 To Objects.Count
          If Repeaters(Index) <> "" Then
            Answer = Snmp.JoinBindings(Answer, ValueOf(Repeaters(Index)))
            Last(Index) = Repeaters(Index)
            Repeaters(Index) = NextOid(Repeaters(Index), Version)
            Moved = True
          Else
            Answer = Snmp.JoinBindings(Answer, Snmp.SNMPEndOfMibViewValue(Last(Index)))
          End If
        Next
        If Not Moved Then Exit For
      Next
    Case Else
      Exit Sub
  End Select
  WScript.Echo Command & " " & RequestId & " (" & VersionName(Version) & ") for" & Names & _
               " from " & RemoteIP & ":" & RemotePort & " -> status " & Status
  ' A send is refused (error 20001) while the previous one is still going out.
  On Error Resume Next
  ' Under SNMPv3 the request's own user, level and context are used.
  Snmp.SendGetResponse RemoteIP, RemotePort, RemoteCommunity, RequestId, Status, Failed, Answer
  If Err.Number <> 0 Then WScript.Echo "not answered: " & Err.Description
  On Error GoTo 0
End Sub

Function VersionName(Version)
  Select Case Version
    Case 0
      VersionName = "SNMPv1"
    Case 1
      VersionName = "SNMPv2c"
    Case Else
      VersionName = "SNMPv3"
  End Select
End Function

' Whether the agent serves Oid to a manager of this version: SNMPv1 has no Counter64.
Function Known(Oid, Version)
  Dim Served
  Known = False
  For Each Served In Oids
    If Served = Oid Then Known = Version <> 0 Or Oid <> IfHCInOctets1
  Next
End Function

' Whether Oid is another instance of a served object (sysDescr.1): noSuchInstance, not
' noSuchObject.
Function HasObject(Oid)
  Dim Served
  HasObject = False
  For Each Served In Oids
    If Left(Served, InStrRev(Served, ".")) = Left(Oid, InStrRev(Oid, ".")) Then HasObject = True
  Next
End Function

' The first object after Oid that this version sees, or "" after the last.
Function NextOid(Oid, Version)
  Dim Served
  NextOid = ""
  For Each Served In Oids
    If CompareOids(Served, Oid) > 0 And Known(Served, Version) Then
      NextOid = Served
      Exit Function
    End If
  Next
End Function

' The binding of a served object.
Function ValueOf(Oid)
  Select Case Oid
    Case "1.3.6.1.2.1.1.1.0"
      ValueOf = Snmp.SNMPStringValue(Oid, "kivOstrel example agent")
    Case "1.3.6.1.2.1.1.3.0"
      ValueOf = Snmp.SnmpTimeTicksValue(Oid, CStr(Int((Timer - Started) * 100)))
    Case "1.3.6.1.2.1.1.5.0"
      ValueOf = Snmp.SNMPStringValue(Oid, "kivostrel-agent")
    Case IfHCInOctets1
      ValueOf = Snmp.SNMPCounter64Value(Oid, "12345678901234567890")
  End Select
End Function

' -1, 0 or 1 as dotted OID A comes before, is, or comes after B, arc by arc.
Function CompareOids(A, B)
  Dim X, Y, Index
  X = Split(A, ".")
  Y = Split(B, ".")
  For Index = 0 To UBound(X)
    If Index > UBound(Y) Then CompareOids = 1: Exit Function
    If CDbl(X(Index)) <> CDbl(Y(Index)) Then
      CompareOids = Sgn(CDbl(X(Index)) - CDbl(Y(Index)))
      Exit Function
    End If
  Next
  If UBound(X) < UBound(Y) Then CompareOids = -1 Else CompareOids = 0
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
