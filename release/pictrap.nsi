; Pictrap's installer. A per-user install: no administrator rights, into the
; user's own programs folder, because the settings file lives beside the
; program and must stay writable. It makes a Start-menu shortcut, and on
; request one that starts Pictrap at log-in (a hot-key tool does nothing
; until it runs); its uninstaller removes exactly what was installed and
; what the program wrote beside itself, and leaves the user's captures alone.
;
; scripts/release.sh compiles it with these defined:
;   VERSION, VERSION_MAJOR, VERSION_MINOR   from shell/version.h
;   STAGE     the folder holding SHOTBOX.EXE, SBHOOK32.DLL, SBMSG32.DLL and
;             README.TXT, all dated to the release's commit
;   ICON      the program's icon
;   OUTFILE   the installer to write
;
; Silent use: Pictrap-<version>-setup.exe /S [/NOSTARTUP] [/D=folder]
;             Uninstall.exe /S

Unicode true
SetCompressor /SOLID lzma
; The installed files carry the release's date, the same from every build.
SetDateSave on
RequestExecutionLevel user
ManifestDPIAware true
ManifestSupportedOS all

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include WinMessages.nsh

!define PRODUCT "Pictrap"
!define PUBLISHER "The Pictrap developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pictrap"
; The main window's class and title: how a running copy is found.
!define MAIN_WINDOW "Pictrap"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails hide
ShowUninstDetails hide

VIProductVersion "${VERSION_MAJOR}.${VERSION_MINOR}.0.0"
VIFileVersion "${VERSION_MAJOR}.${VERSION_MINOR}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright (C) ${PUBLISHER}"
VIAddVersionKey "OriginalFilename" "Pictrap-${VERSION}-setup.exe"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_WELCOMEPAGE_TEXT "This installs Pictrap ${VERSION} for you alone; it needs no administrator rights.$\r$\n$\r$\nPictrap takes a picture of the screen whenever you press Ctrl+Alt+F11 in any program.$\r$\n$\r$\nIf Pictrap is running, it is closed first.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "Pictrap is installed. Press Ctrl+Alt+F11 in any program: the screen is saved in your Pictures folder as cap1.bmp, cap2.bmp, ...$\r$\n$\r$\nPictrap's commands are in the menu of its icon."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Pictrap now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartPictrap
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.TXT"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the read-me"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; A running copy holds its files open and, with its hook, is loaded into
; other programs: it is asked to close, as its own Close command would.
; While it is busy with a capture it refuses; the user is asked to finish
; first. A silent run gives up after the wait.
!macro CLOSE_RUNNING un
Function ${un}CloseRunningPictrap
  retry:
  FindWindow $0 "${MAIN_WINDOW}" "${MAIN_WINDOW}"
  ${If} $0 == 0
    Return
  ${EndIf}
  SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
  StrCpy $1 0
  ${Do}
    Sleep 100
    IntOp $1 $1 + 1
    FindWindow $0 "${MAIN_WINDOW}" "${MAIN_WINDOW}"
    ${If} $0 == 0
    ${OrIf} $1 >= 50
      ${ExitDo}
    ${EndIf}
  ${Loop}
  ${If} $0 != 0
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Pictrap is still running, perhaps busy with a capture. Let it finish, then choose Retry." /SD IDCANCEL IDRETRY retry
    Abort "Pictrap is still running."
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING ""
!insertmacro CLOSE_RUNNING "un."

; After Pictrap has closed, its hook library can stay loaded in the programs
; its hook ran in (Windows lets it go when they next take a message; Wine
; only when they end), and a loaded file cannot be deleted, though it can be
; moved. After a short wait it is moved into the user's Temp folder and
; deleted at the next log-in by the user's RunOnce key: the per-user way, as
; a delete at restart would need administrator rights.
!macro REMOVE_HOOK_LIBRARY
  StrCpy $1 0
  ${Do}
    ClearErrors
    Delete "$INSTDIR\SBHOOK32.DLL"
    ${IfNot} ${FileExists} "$INSTDIR\SBHOOK32.DLL"
    ${OrIf} $1 >= 20
      ${ExitDo}
    ${EndIf}
    Sleep 250
    IntOp $1 $1 + 1
  ${Loop}
  ${If} ${FileExists} "$INSTDIR\SBHOOK32.DLL"
    GetTempFileName $2
    Delete $2
    ClearErrors
    Rename "$INSTDIR\SBHOOK32.DLL" $2
    ${IfNot} ${Errors}
      ${GetFileName} $2 $3
      WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\RunOnce" "Pictrap $3" \
        '"$SYSDIR\cmd.exe" /d /c del /f /q "$2"'
    ${EndIf}
  ${EndIf}
!macroend

; Captures land in the program's current directory: the shortcuts start it
; in the user's Pictures folder, where pictures are looked for.
!macro SHORTCUT path
  SetOutPath "$PICTURES"
  CreateShortCut "${path}" "$INSTDIR\SHOTBOX.EXE" "" "$INSTDIR\SHOTBOX.EXE" 0 SW_SHOWNORMAL "" \
    "Capture the screen with Ctrl+Alt+F11"
!macroend

Section "Pictrap and its Start-menu shortcut" SecProgram
  SectionIn RO
  Call CloseRunningPictrap
  ; An earlier version's hook library may still be loaded elsewhere.
  !insertmacro REMOVE_HOOK_LIBRARY
  SetOutPath "$INSTDIR"
  File "${STAGE}\SHOTBOX.EXE"
  File "${STAGE}\SBHOOK32.DLL"
  File "${STAGE}\SBMSG32.DLL"
  File "${STAGE}\README.TXT"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  !insertmacro SHORTCUT "$SMPROGRAMS\Pictrap.lnk"
  ; An earlier install's log-in shortcut goes unless it is chosen again.
  Delete "$SMSTARTUP\Pictrap.lnk"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionMajor" ${VERSION_MAJOR}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionMinor" ${VERSION_MINOR}
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\SHOTBOX.EXE,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Start Pictrap when I log in" SecStartup
  !insertmacro SHORTCUT "$SMSTARTUP\Pictrap.lnk"
SectionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOSTARTUP" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecStartup} 0
  ${EndIf}
FunctionEnd

Function StartPictrap
  SetOutPath "$PICTURES"
  Exec '"$INSTDIR\SHOTBOX.EXE"'
FunctionEnd

Section "Uninstall"
  Call un.CloseRunningPictrap
  !insertmacro REMOVE_HOOK_LIBRARY
  Delete "$INSTDIR\SHOTBOX.EXE"
  Delete "$INSTDIR\SBMSG32.DLL"
  Delete "$INSTDIR\README.TXT"
  ; The settings Pictrap wrote beside itself.
  Delete "$INSTDIR\SHOTBOX.INI"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: captures saved into the program's folder stay, and so
  ; does the folder.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Pictrap.lnk"
  Delete "$SMSTARTUP\Pictrap.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; The uninstaller runs from a copy of itself in a folder of Temp, which it
  ; cannot delete while it runs: that goes at the next log-in too.
  ${GetFileName} $EXEDIR $3
  StrCpy $4 $3 4
  ${If} $4 == "~nsu"
    WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\RunOnce" "Pictrap $3" \
      '"$SYSDIR\cmd.exe" /d /c rd /s /q "$EXEDIR"'
  ${EndIf}
SectionEnd
