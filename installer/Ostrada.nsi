; The installer of Velmora Connector: Program Files for all users, a Start-menu shortcut, the
; entry in the list of installed programs, a start at logon as a scheduled task with the
; highest privileges (the Run key does not start a program that demands administrator rights
; while UAC is on), and an uninstaller.
;   makensis -DVERSION=a.b.c.d -DEXE=path\Ostrada.exe -DOUTFILE=setup.exe [-DAMD64] Ostrada.nsi
;   [-DSIGN=path/sign-authenticode]   signs the uninstaller and the installer with Authenticode
; Silent use: setup.exe /S [/AUTOSTART=0] [/D=folder]; uninstall.exe /S [/PURGE]

!ifdef AMD64
  Target amd64-unicode
!else
  Unicode true
!endif
SetCompressor /SOLID lzma
; No file times in the installer, so two builds of the same files give the same bytes.
SetDateSave off
!ifdef SIGN
  ; The uninstaller is signed before it is packed into the installer, the installer once written.
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!ifdef AMD64
  !include x64.nsh
!endif

!define PRODUCT "Velmora Connector"
!define PUBLISHER "Velmora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VelmoraConnector"
!define TASK "Velmora Connector"
; What the program keeps in the subscriber's registry: the login data and the settings.
!define LOGIN_DATA_PARENT "Software\Norvenda"
!define LOGIN_DATA_KEY "${LOGIN_DATA_PARENT}\LoginData"
!define SETTINGS_KEY "Software\velmora"
; The install folder's owner and access: administrators and the system change it, users read
; and run it, and nothing is inherited (P) from a parent that users may write; by well-known
; SIDs, so it holds in every language of the system.
!define FOLDER_SECURITY "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
!ifdef AMD64
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка ${PRODUCT}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.PurgePage un.PurgePageLeave
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Var AutoStart
Var Purge
Var PurgeBox

Function .onInit
  !ifdef AMD64
    SetRegView 64
  !endif
  SetShellVarContext all
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART=" $AutoStart
  ${If} $AutoStart == "0"
    SectionSetFlags 1 0
  ${EndIf}
FunctionEnd

Section "!${PRODUCT}" SecProgram
  SectionIn RO
  Call EndRunningCopy
  CreateDirectory "$INSTDIR"
  Call LockInstallFolder
  SetOutPath "$INSTDIR"
  File "/oname=Ostrada.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Ostrada.exe" "" "$INSTDIR\Ostrada.exe" 0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Ostrada.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Запускать при входе в систему" SecAutoStart
  ; A logon task with the highest privileges starts the program elevated without a prompt.
  ; Its definition is written into the locked install folder, where no user can change it
  ; before the scheduler reads it.
  Push '"$INSTDIR\Ostrada.exe"'
  Call XmlEscape
  Pop $1
  FileOpen $0 "$INSTDIR\task.xml" w
  FileWriteUTF16LE /BOM $0 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
  FileWriteUTF16LE $0 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
  FileWriteUTF16LE $0 '  <RegistrationInfo><Description>${PRODUCT}</Description></RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $0 '  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>$\r$\n'
  FileWriteUTF16LE $0 '  <Principals><Principal id="Users"><GroupId>S-1-5-32-545</GroupId>'
  FileWriteUTF16LE $0 '<RunLevel>HighestAvailable</RunLevel></Principal></Principals>$\r$\n'
  FileWriteUTF16LE $0 '  <Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>'
  FileWriteUTF16LE $0 '<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>'
  FileWriteUTF16LE $0 '<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>'
  FileWriteUTF16LE $0 '<ExecutionTimeLimit>PT0S</ExecutionTimeLimit></Settings>$\r$\n'
  FileWriteUTF16LE $0 '  <Actions Context="Users"><Exec><Command>$1</Command></Exec></Actions>$\r$\n'
  FileWriteUTF16LE $0 '</Task>$\r$\n'
  FileClose $0
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Create /TN "${TASK}" /XML "$INSTDIR\task.xml" /F'
  Pop $0
  Delete "$INSTDIR\task.xml"
  ${If} $0 != 0
    DetailPrint "Не удалось создать задание запуска при входе в систему (код $0)"
  ${EndIf}
SectionEnd

; System programs by full path: a bare name is looked for first in the installer's own folder
; (usually Downloads) and the current one, where anybody may have put a program of that name.
; A running copy keeps nothing unsaved: ending it is safe, and the line stays up.
Function EndRunningCopy
  nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM Ostrada.exe'
  Pop $0
FunctionEnd

Function un.EndRunningCopy
  nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM Ostrada.exe'
  Pop $0
FunctionEnd

; Gives $INSTDIR the owner and access of FOLDER_SECURITY, replacing what it had (a folder under
; a drive root inherits "Authenticated Users: Modify", and the logon task runs what lies here
; with the highest rights). Before any file is written, so each file inherits it. A folder
; that cannot be locked is not installed into.
Function LockInstallFolder
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${FOLDER_SECURITY}", i 1, *p .r1, p 0) i .r0'
  ${If} $0 == 0
    StrCpy $0 "-1"
  ${Else}
    System::Call 'advapi32::GetSecurityDescriptorOwner(p r1, *p .r2, *i .r4) i .r0'
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i .r4, *p .r3, *i .r4) i .r0'
    ; SE_FILE_OBJECT; OWNER, DACL and PROTECTED_DACL_SECURITY_INFORMATION
    System::Call 'advapi32::SetNamedSecurityInfoW(w "$INSTDIR", i 1, i 0x80000005, p r2, p 0, p r3, p 0) i .r0'
    System::Call 'kernel32::LocalFree(p r1)'
  ${EndIf}
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "Не удалось защитить папку $INSTDIR от изменений другими пользователями (код $0). Установка прервана." /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

; The text on the stack, escaped for an XML element (the install path may hold "&" or "'").
Function XmlEscape
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  StrCpy $R1 ""
  StrCpy $R2 0
  ${Do}
    StrCpy $R3 $R0 1 $R2
    ${If} $R3 == ""
      ${ExitDo}
    ${ElseIf} $R3 == "&"
      StrCpy $R3 "&amp;"
    ${ElseIf} $R3 == "<"
      StrCpy $R3 "&lt;"
    ${ElseIf} $R3 == ">"
      StrCpy $R3 "&gt;"
    ${ElseIf} $R3 == '"'
      StrCpy $R3 "&quot;"
    ${ElseIf} $R3 == "'"
      StrCpy $R3 "&apos;"
    ${EndIf}
    StrCpy $R1 "$R1$R3"
    IntOp $R2 $R2 + 1
  ${Loop}
  StrCpy $R0 $R1
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

Function un.onInit
  !ifdef AMD64
    SetRegView 64
  !endif
  SetShellVarContext all
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PURGE" $1
  ${IfNot} ${Errors}
    StrCpy $Purge 1
  ${EndIf}
FunctionEnd

Function un.PurgePage
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateCheckbox} 0 0 100% 24u "Удалить также сохранённые логин, пароль и настройки"
  Pop $PurgeBox
  nsDialogs::Show
FunctionEnd

Function un.PurgePageLeave
  ${NSD_GetState} $PurgeBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $Purge 1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.EndRunningCopy
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN "${TASK}" /F'
  Pop $0
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\Ostrada.exe"
  Delete "$INSTDIR\Ostrada.exe_updated"
  Delete "$INSTDIR\Ostrada.exe_old"
  Delete "$INSTDIR\update.bat"
  Delete "$INSTDIR\task.xml"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${If} $Purge == 1
    ; Only the program's own keys: other programs of the vendor may keep theirs beside them.
    DeleteRegKey HKCU "${LOGIN_DATA_KEY}"
    DeleteRegKey /ifnosubkeys /ifnovalues HKCU "${LOGIN_DATA_PARENT}"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegValue HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "velmora"
  ${EndIf}
SectionEnd
