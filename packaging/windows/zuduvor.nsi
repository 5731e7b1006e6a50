; The Windows installer: a per-user install that needs no administrator rights.
; Built by scripts/windows-package, which passes:
;   VERSION    the program's version, as shown in Apps & features ("4.02")
;   VIVERSION  the same as four numbers for the file's version resource ("4.2.0.0")
;   STAGE      the folder holding the program, its DLLs and plugins, and zuduvor.ico
;   EXE        the program's file name inside STAGE ("zuduvor.exe")
;   FILES      a generated list of Delete/RMDir lines for exactly the staged files
;   OUTFILE    where the installer goes
;   ESTIMATED_KB  the installed size, for Apps & features
;   SCHEDULE   defined when the program has `schedule on|off` (the scheduled report pickup)
;
; The program keeps its data in the work root (C:\zod\ and the like), never in the install
; folder; the uninstaller removes only the files the installer put there, so it never touches
; the work root, even when someone chose an install folder that holds other files.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh

!define NAME "zuduvor"
!define DISPLAY_NAME "Electronic Claims Secure File Transfer"
!define PUBLISHER "ZOD Claims Clearinghouse"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"

Name "${DISPLAY_NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${NAME}"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${DISPLAY_NAME} ${VERSION}"

VIProductVersion "${VIVERSION}"
VIAddVersionKey "ProductName" "${DISPLAY_NAME}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${DISPLAY_NAME} setup"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${STAGE}\zuduvor.ico"
!define MUI_UNICON "${STAGE}\zuduvor.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${DISPLAY_NAME} now"

!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "${DISPLAY_NAME}" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${DISPLAY_NAME}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\zuduvor.ico" 0

  ; Apps & features, for this user only.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${DISPLAY_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zuduvor.ico"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${ESTIMATED_KB}
SectionEnd

!ifdef SCHEDULE
; Off unless chosen: whether reports are picked up unattended is the practice's decision.
Section /o "Scheduled report pickup" SecSchedule
  ExecWait '"$INSTDIR\${EXE}" schedule on' $0
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "The scheduled report pickup could not be set up.$\r$\nThe program is installed. To try again, open a command prompt and run:$\r$\n$\"$INSTDIR\${EXE}$\" schedule on" /SD IDOK
  ${EndIf}
SectionEnd
!endif

Section "Uninstall"
  ; A scheduled task left behind would start a program that is no longer there.
!ifdef SCHEDULE
  ${If} ${FileExists} "$INSTDIR\${EXE}"
    ExecWait '"$INSTDIR\${EXE}" schedule off'
  ${EndIf}
!endif
  Delete "$SMPROGRAMS\${DISPLAY_NAME}.lnk"
  !include "${FILES}"
  Delete "$INSTDIR\uninstall.exe"
  ; Removed only when empty: anything else in it is not ours to delete.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
