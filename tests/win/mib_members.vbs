' The MIB module members from VBScript: modules copied into a folder whose name is not ASCII
' ("MIBs-Über-été", made here with Chr, so that no command line stands between the script and the
' control), loaded
' by name through MibPath and by file, then the name table, FormatValue and IndexedName over
' what they hold. Prints one "name: result" line per check, for mib_e2e.sh to compare.
'
'   ostrelhost.exe mib_members.vbs source-folder work-folder
Option Explicit

Dim Files, Source, Folder, File, Snmp, Names, Index
Set Files = CreateObject("Scripting.FileSystemObject")
Source = WScript.Arguments(0)
Folder = WScript.Arguments(1) & "\MIBs-" & Chr(220) & "ber-" & Chr(233) & "t" & Chr(233)
If Not Files.FolderExists(Folder) Then Files.CreateFolder Folder
' Copied as text (Wine's FileSystemObject has no CopyFile).
Dim Text
For Each File In Files.GetFolder(Source).Files
  Set Text = Files.OpenTextFile(File.Path)
  Files.CreateTextFile(Folder & "\" & File.Name, True).Write Text.ReadAll
  Text.Close
Next

Set Snmp = WScript.CreateObject("kivOstrelCtrl.kivOstrel")
WScript.Echo "before: " & Snmp.OID2Name("1.3.6.1.2.1.31.1.1.1.6.1")
Snmp.MibPath = "C:\no-such-folder;" & Folder
WScript.Echo "LoadMib: " & Snmp.LoadMib("IF-MIB")
WScript.Echo "again: " & Snmp.LoadMib("IF-MIB")
WScript.Echo "warnings: [" & Snmp.MibWarnings & "]"
WScript.Echo "by file: " & Snmp.LoadMib(Folder & "\SNMPv2-MIB.mib")
WScript.Echo "OID2Name: " & Snmp.OID2Name("1.3.6.1.2.1.31.1.1.1.6.1")
WScript.Echo "Name2OID: " & Snmp.Name2OID("iso.org.dod.internet.mgmt.mib.ifMIB.ifMIBObjects.ifXTable.ifXEntry.ifHCInOctets")
WScript.Echo "kept: " & Snmp.OID2Name("1.3.6.1.2.1.2.2.1.2.3")
Set Names = Snmp.FindName("ifHCInOctets")
For Index = 1 To Names.Count
  WScript.Echo "FindName: " & Names.Item(Index)
Next
WScript.Echo "enumeration: " & Snmp.FormatValue("1.3.6.1.2.1.2.2.1.8.3", 2)
WScript.Echo "unknown number: " & Snmp.FormatValue("1.3.6.1.2.1.2.2.1.8.3", 99)
WScript.Echo "text: " & Snmp.FormatValue("1.3.6.1.2.1.2.2.1.2.3", "eth0")
WScript.Echo "plain: " & Snmp.FormatValue("1.3.6.1.4.1.99999.1.0", 42)
WScript.Echo "IndexedName: " & Snmp.IndexedName("1.3.6.1.2.1.2.2.1.2.3")
WScript.Echo "scalar: " & Snmp.IndexedName("1.3.6.1.2.1.1.1.0")
WScript.Echo "trap: " & Snmp.IndexedName("1.3.6.1.6.3.1.1.5.3")
WScript.Echo "unknown: " & Snmp.IndexedName("1.3.6.1.4.1.99999.1.0")
WScript.Echo "outside: " & Snmp.IndexedName("2.5.4.3")
On Error Resume Next
Snmp.LoadMib "NO-SUCH-MIB"
WScript.Echo "missing: " & Err.Number & " " & Err.Description
Err.Clear
Snmp.MibPath = Folder & "\nothing-here"
WScript.Echo "MibPath: " & (Snmp.MibPath = Folder & "\nothing-here")
