; The Windows installer: the program and UserDirKit.dll into
; Program Files\Quillbeck\ZETA-7, a Start-menu shortcut, and an uninstaller
; that the system's list of installed programs shows. The user's settings
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

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillbeck ZETA-7"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT_NAME}.lnk"

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

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "${PROGRAM_FILE}"
  File "${DLL_FILE}"
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
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES64\Quillbeck"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
