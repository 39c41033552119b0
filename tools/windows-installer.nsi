; The Windows installer of Marrowgate: installs for the current user only, with
; no administrator rights, into %LOCALAPPDATA%\Programs\Marrowgate, adds a
; Start-menu entry and an uninstaller listed under the installed apps. /S
; installs (and uninstalls) silently. Built by tools/windows-installer.sh:
;   makensis -DVERSION=1.0.0 -DPAYLOAD=DIR -DICON=ICO -DOUTFILE=SETUP.exe windows-installer.nsi
; where DIR holds the stripped marrowgate.exe, marrowgate-cli.exe and
; marrowgate_msg.dat, and ICO is the window's icon.
;
; The layout is that of an installed copy: with no message file beside the
; programs they read share\marrowgate\marrowgate_msg.dat and work in the
; user's %LOCALAPPDATA%\Marrowgate, never in their own folder:
;   bin\marrowgate.exe  bin\marrowgate-cli.exe  share\marrowgate\marrowgate_msg.dat
;   uninstall.exe
; The uninstaller removes these files, the shortcut and the registry entry,
; then the folders only when they are left empty. %LOCALAPPDATA%\Marrowgate
; (lib, tmp, the report, the list files) is the user's and is never touched.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Marrowgate"
!define SHORTCUT "$SMPROGRAMS\Vorlane Marrowgate.lnk"
!define WINDOW "$INSTDIR\bin\marrowgate.exe"
!define CLI "$INSTDIR\bin\marrowgate-cli.exe"
!define MESSAGES "$INSTDIR\share\marrowgate\marrowgate_msg.dat"

Name "Vorlane Marrowgate ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Marrowgate"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Vorlane Marrowgate ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Vorlane Marrowgate"
VIAddVersionKey /LANG=1033 "CompanyName" "Vorlane"
VIAddVersionKey /LANG=1033 "FileDescription" "Vorlane Marrowgate ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Vorlane"

!include MUI2.nsh
!include FileFunc.nsh

; The window's icon on the setup and the uninstaller.
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "${WINDOW}"
!define MUI_FINISHPAGE_RUN_TEXT "Start Vorlane Marrowgate"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A program that runs cannot be replaced or removed: its file cannot be opened
; for writing. The user is asked to close it; silently, or on Cancel, the
; setup stops there with nothing changed (exit status 2).
!macro WAIT_UNTIL_CLOSED_FUNCTION UN
Function ${UN}WaitUntilClosed
  Exch $R0
  Push $0
  retry:
    IfFileExists "$R0" 0 done
    ClearErrors
    FileOpen $0 "$R0" a
    IfErrors 0 opened
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Vorlane Marrowgate is running ($R0 is in use). Close it, then choose Retry." \
      /SD IDCANCEL IDRETRY retry
    Abort "Vorlane Marrowgate is running: $R0 is in use."
  opened:
    FileClose $0
  done:
  Pop $0
  Pop $R0
FunctionEnd
!macroend
!insertmacro WAIT_UNTIL_CLOSED_FUNCTION ""
!insertmacro WAIT_UNTIL_CLOSED_FUNCTION "un."

Section "Marrowgate"
  Push "${WINDOW}"
  Call WaitUntilClosed
  Push "${CLI}"
  Call WaitUntilClosed
  SetOutPath "$INSTDIR\bin"
  File "${PAYLOAD}/marrowgate.exe"
  File "${PAYLOAD}/marrowgate-cli.exe"
  SetOutPath "$INSTDIR\share\marrowgate"
  File "${PAYLOAD}/marrowgate_msg.dat"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut starts the window in its own folder.
  SetOutPath "$INSTDIR\bin"
  CreateShortcut "${SHORTCUT}" "${WINDOW}" "" "${WINDOW}" 0 SW_SHOWNORMAL "" \
    "Sort PADS ASCII part-type libraries"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Vorlane Marrowgate"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Vorlane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "${WINDOW},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Push "${WINDOW}"
  Call un.WaitUntilClosed
  Push "${CLI}"
  Call un.WaitUntilClosed
  Delete "${WINDOW}"
  Delete "${CLI}"
  Delete "${MESSAGES}"
  ; The entry stays, and the uninstaller with it, while a file is left.
  IfFileExists "${WINDOW}" kept
  IfFileExists "${CLI}" kept
  IfFileExists "${MESSAGES}" kept removed
  kept:
    Abort "Some files of Vorlane Marrowgate in $INSTDIR could not be removed."
  removed:
  Delete "${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  ; Not /r: a folder that holds anything else is left as it is.
  RMDir "$INSTDIR\share\marrowgate"
  RMDir "$INSTDIR\share"
  RMDir "$INSTDIR\bin"
  RMDir "$INSTDIR"
SectionEnd
