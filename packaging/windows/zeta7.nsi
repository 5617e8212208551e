; The Windows installer: the program, UserDirKit.dll and the command-line
; tools (zeta7ctl.exe, zeta7-ports.exe) into Program Files\Quillbeck\ZETA-7,
; a Start-menu shortcut, and an uninstaller that the system's list of
; installed programs shows. On request (the component "PATH", off by
; default; /ADDTOPATH on the command line of a silent install) the folder
; goes on the user's PATH, and the uninstaller takes that one entry back. The user's settings
; (%APPDATA%\Quillbeck\ZETA-7\, or a file the user put beside the program)
; are never removed. Built by the windows-dist target, which writes
; dist.nsh (file paths, names and version) beside the build's copy.
Unicode true
; 64-bit: the 32-bit target would see the 32-bit Program Files and registry
; view, and installs nothing under a 64-bit-only Wine.
Target amd64-unicode

!include "dist.nsh"
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"
!include "Sections.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillbeck ZETA-7"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT_NAME}.lnk"
; The user's own PATH (not the machine's, which every user shares).
!define USER_ENV "Environment"

Name "${PRODUCT_NAME}"
OutFile "${SETUP_FILE}"
InstallDir "$PROGRAMFILES64\Quillbeck\ZETA-7"
; An update goes where the first install went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma

!define MUI_ICON "${ICON_FILE}"
!define MUI_UNICON "${ICON_FILE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "${PRODUCT_NAME} セットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"

; PATH entries one at a time. FindPathEntry: is $1 an entry of the list $0?
; $2 = the index of its last occurrence (from 0), or -1. DropPathEntry: $0
; without the entry at index $2, every other entry and separator as it was.
!macro PATH_FUNCTIONS un
Function ${un}FindPathEntry
  Push $3
  Push $4
  Push $5
  Push $6
  StrCpy $2 -1
  StrCpy $3 0   ; character
  StrCpy $4 0   ; entry
  StrCpy $6 ""  ; the entry so far
  loop:
    StrCpy $5 $0 1 $3
    StrCmp $5 "" entry_end
    StrCmp $5 ";" entry_end
    StrCpy $6 "$6$5"
    IntOp $3 $3 + 1
    Goto loop
  entry_end:
    StrCmp $6 $1 0 +2  ; StrCmp ignores case, as Windows does for paths
      StrCpy $2 $4
    StrCmp $5 "" done
    StrCpy $6 ""
    IntOp $3 $3 + 1
    IntOp $4 $4 + 1
    Goto loop
  done:
  Pop $6
  Pop $5
  Pop $4
  Pop $3
FunctionEnd

Function ${un}DropPathEntry
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  Push $8
  StrCpy $3 0   ; character
  StrCpy $4 0   ; entry
  StrCpy $6 ""  ; the entry so far
  StrCpy $7 ""  ; the list without it
  StrCpy $8 0   ; 1 once an entry is kept
  loop:
    StrCpy $5 $0 1 $3
    StrCmp $5 "" entry_end
    StrCmp $5 ";" entry_end
    StrCpy $6 "$6$5"
    IntOp $3 $3 + 1
    Goto loop
  entry_end:
    IntCmp $4 $2 next
    StrCmp $8 1 0 first
    StrCpy $7 "$7;$6"
    Goto next
  first:
    StrCpy $7 $6
    StrCpy $8 1
  next:
    StrCmp $5 "" done
    StrCpy $6 ""
    IntOp $3 $3 + 1
    IntOp $4 $4 + 1
    Goto loop
  done:
  StrCpy $0 $7
  Pop $8
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
FunctionEnd
!macroend
!insertmacro PATH_FUNCTIONS ""
!insertmacro PATH_FUNCTIONS "un."

Section "!${PRODUCT_NAME}" SEC_PROGRAM
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${PROGRAM_FILE}"
  File "${DLL_FILE}"
  File "${CTL_FILE}"
  File "${PORTS_FILE}"
!ifdef COMPLETION_FILE
  File "${COMPLETION_FILE}"
!endif
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\${PROGRAM_EXE}" "" "$INSTDIR\${PROGRAM_EXE}" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM_EXE},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; The folder at the end of the user's PATH, unless it is there already; the
; uninstall key remembers the entry, so that only an entry this installer
; added is ever taken back.
Section /o "PATH: zeta7ctl, zeta7-ports をコマンドプロンプトから使えるようにする" SEC_PATH
  ReadRegStr $0 HKCU "${USER_ENV}" "Path"
  StrCpy $1 "$INSTDIR"
  Call FindPathEntry
  IntCmp $2 -1 0 in_path in_path
  StrCmp $0 "" 0 +3
    StrCpy $0 "$INSTDIR"
    Goto +2
    StrCpy $0 "$0;$INSTDIR"
  WriteRegExpandStr HKCU "${USER_ENV}" "Path" "$0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UserPathEntry" "$INSTDIR"
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
in_path:
SectionEnd

Function .onInit
  SetRegView 64
  SetShellVarContext all
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ADDTOPATH" $1
  IfErrors no_path
  !insertmacro SelectSection ${SEC_PATH}
no_path:
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; File by file and RMDir without /r: the folder may be one the user chose
; and holds other things, or a settings file the user put beside the
; program; either keeps the folder.
Section "Uninstall"
  ; A running program cannot be deleted. Stop before anything else goes, so
  ; that the copy left behind keeps its uninstaller and its entry.
  IfFileExists "$INSTDIR\${PROGRAM_EXE}" 0 program_gone
  ClearErrors
  Delete "$INSTDIR\${PROGRAM_EXE}"
  IfErrors 0 program_gone
  MessageBox MB_OK|MB_ICONSTOP "${PRODUCT_NAME} が実行中のため削除できません。終了してから、もう一度アンインストールしてください。" /SD IDOK
  SetErrorLevel 2
  Abort
program_gone:
  Delete "${SHORTCUT}"
  Delete "$INSTDIR\${DLL_NAME}"
  Delete "$INSTDIR\${CTL_EXE}"
  Delete "$INSTDIR\${PORTS_EXE}"
  Delete "$INSTDIR\${COMPLETION_NAME}"
  ; The PATH entry the installer added, and nothing else of PATH.
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "UserPathEntry"
  StrCmp $1 "" path_done
  ReadRegStr $0 HKCU "${USER_ENV}" "Path"
  Call un.FindPathEntry
  IntCmp $2 -1 path_done
  Call un.DropPathEntry
  StrCmp $0 "" 0 +3
    DeleteRegValue HKCU "${USER_ENV}" "Path"
    Goto +2
    WriteRegExpandStr HKCU "${USER_ENV}" "Path" "$0"
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
path_done:
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES64\Quillbeck"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
