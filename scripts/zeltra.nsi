; The installer of the service program: the programs into Program Files, a
; folder of the user's own in Documents where the program keeps config.cfg,
; LogFile.log and the data files (Program Files is not writable for a normal
; user), a Start-menu shortcut that starts the program there, and an
; uninstaller. An upgrade never replaces the user's config.cfg, and the
; uninstaller leaves the user's folder alone.
;   makensis -DVERSION=1.7.0.0 -DDIST=<folder> -DCONFIG=<config.cfg> -DICON=<.ico> -DOUTFILE=<.exe> zeltra.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "x64.nsh"

!define PRODUCT "Program serwisowy ZELTRA SA"
!define FOLDER "ZELTRA Serwis"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZeltraSerwis"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${FOLDER}"
InstallDirRegKey HKLM "Software\ZELTRA\Serwis" "InstallDir"
RequestExecutionLevel admin
BrandingText "ZELTRA SA"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1045 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1045 "CompanyName" "ZELTRA SA"
VIAddVersionKey /LANG=1045 "LegalCopyright" "© ZELTRA SA"
VIAddVersionKey /LANG=1045 "FileDescription" "Instalator programu serwisowego"
VIAddVersionKey /LANG=1045 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1045 "ProductVersion" "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Uruchom program serwisowy"
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Polish"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Program wymaga 64-bitowego systemu Windows."
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; The program starts in the user's folder, as the shortcut starts it.
Function RunProgram
  SetOutPath "$DOCUMENTS\${FOLDER}"
  Exec '"$INSTDIR\zeltra.exe"'
FunctionEnd

Section "Program" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${DIST}/*"
  WriteUninstaller "$INSTDIR\odinstaluj.exe"

  ; The folder the program works in: config.cfg only when the user has none.
  SetShellVarContext current
  CreateDirectory "$DOCUMENTS\${FOLDER}"
  SetOverwrite off
  SetOutPath "$DOCUMENTS\${FOLDER}"
  File "/oname=config.cfg" "${CONFIG}"
  SetOverwrite on

  ; The shortcut's working folder is the current output folder.
  CreateDirectory "$SMPROGRAMS\${FOLDER}"
  CreateShortCut "$SMPROGRAMS\${FOLDER}\${PRODUCT}.lnk" "$INSTDIR\zeltra.exe" "" "$INSTDIR\zeltra.exe" 0
  SetOutPath "$INSTDIR"
  CreateShortCut "$SMPROGRAMS\${FOLDER}\Odinstaluj.lnk" "$INSTDIR\odinstaluj.exe"

  WriteRegStr HKLM "Software\ZELTRA\Serwis" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "ZELTRA SA"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zeltra.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\odinstaluj.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\odinstaluj.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only what the installer put there: the user's folder with config.cfg and
  ; the data files stays.
  SetShellVarContext current
  Delete "$SMPROGRAMS\${FOLDER}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${FOLDER}\Odinstaluj.lnk"
  RMDir "$SMPROGRAMS\${FOLDER}"
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\styles"
  RMDir /r "$INSTDIR\imageformats"
  RMDir /r "$INSTDIR\translations"
  Delete "$INSTDIR\*.exe"
  Delete "$INSTDIR\*.dll"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\ZELTRA\Serwis"
SectionEnd
