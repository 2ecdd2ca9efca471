; The Windows installer: the folder scripts/windows.sh bundles (programs, DLLs,
; Qt plugins, README, examples) into 64-bit Program Files, Start-menu entries
; and an uninstaller. makensis -DVERSION=... -DSOURCE=<repository> -DBUNDLE=<folder> -DOUTFILE=<setup.exe>
; /S installs silently, /D=<folder> picks the folder (NSIS's own switches).
; A 64-bit installer for 64-bit programs (it also runs where no 32-bit layer is installed).
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "x64.nsh"

!define NAME "Tester TORV-LCD"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\torv-tester"
; Where the tool keeps Torv_LCD.set, komory.json and pomiary\: its working
; folder, writable by every user of the machine (Program Files is not).
!define WORK_FOLDER "$DOCUMENTS\${NAME}"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
RequestExecutionLevel admin
BrandingText "${NAME} ${VERSION}"

!define MUI_ICON "${SOURCE}/assets/icon_program.ico"
!define MUI_UNICON "${SOURCE}/assets/icon_program.ico"
!insertmacro MUI_PAGE_LICENSE "${BUNDLE}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${NAME} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File /r "${BUNDLE}/*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${WORK_FOLDER}"
  CreateDirectory "$SMPROGRAMS\${NAME}"
  ; A shortcut starts its program in the folder SetOutPath last named.
  SetOutPath "${WORK_FOLDER}"
  CreateShortCut "$SMPROGRAMS\${NAME}\${NAME}.lnk" "$INSTDIR\torv-tester.exe"
  SetOutPath "$INSTDIR"
  CreateShortCut "$SMPROGRAMS\${NAME}\README.lnk" "$INSTDIR\README.txt"
  CreateShortCut "$SMPROGRAMS\${NAME}\Examples.lnk" "$INSTDIR\examples"
  CreateShortCut "$SMPROGRAMS\${NAME}\Uninstall.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tester TORV-LCD developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\torv-tester.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The working folder holds the operator's settings and logs: it stays.
Section "Uninstall"
  RMDir /r "$SMPROGRAMS\${NAME}"
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\styles"
  RMDir /r "$INSTDIR\imageformats"
  RMDir /r "$INSTDIR\examples"
  Delete "$INSTDIR\*.exe"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
