; The Windows installer of the Tandrel Mini companions: lumesrc.dll into the
; Plugins folder of the player's folder, devselect.exe into the player's folder.
; It never installs, replaces or deletes the player's media library (bass.dll,
; its add-ons) or Tandrel.ini; it only reads bass.dll's version to warn about a
; release known to crash the player.
; Built by installer/package.cmake:
;   makensis -DVERSION=1.1 -DSTAGE=<stripped binaries> -DOUTFILE=<setup.exe> lumesrc.nsi
Unicode true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VERSION
  !error "VERSION, STAGE and OUTFILE come from the build (installer/package.cmake)"
!endif
!ifndef STAGE
  !error "VERSION, STAGE and OUTFILE come from the build (installer/package.cmake)"
!endif
!ifndef OUTFILE
  !error "VERSION, STAGE and OUTFILE come from the build (installer/package.cmake)"
!endif

!define PRODUCT "Tandrel Mini companions"
; One fixed key: an upgrade overwrites its entry instead of adding one.
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TandrelMiniCompanions"
; Not "uninstall.exe": the player's own uninstaller may lie in the same folder.
!define UNINSTALLER "lumesrc-uninstall.exe"
!define LOG "lumesrc-setup.log"
; Media library releases before 2.4.13 divide by zero when opening a WAV file
; whose format block gives 0 bits per sample.
!define BASS_SAFE_HIGH 0x00020004 ; 2.4
!define BASS_SAFE_LOW 0x000D0000  ; .13.0
!define BASS_SAFE "2.4.13"
!define BASS_CURRENT "2.4.17"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Tandrel Mini"
; An upgrade proposes the folder of the earlier install.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

!include MUI2.nsh
!include LogicLib.nsh

Var Notes ; what the last page and the log say about the player's media library

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs the Tandrel Mini companions ${VERSION}:$\r$\n$\r$\n\
lumesrc.dll, an input plug-in that tells the player the length of local files and HTTP streams, and \
the title, artist, album and year of local files, and$\r$\n$\r$\n\
devselect.exe, which picks the player's wave output device and its buffers.$\r$\n$\r$\n\
The player's media library (bass.dll and its add-ons) is not part of this package and is left as it is.\
$\r$\n$\r$\nClose Tandrel Mini before you go on."
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_HEADER_TEXT "Choose the Player's Folder"
!define MUI_PAGE_HEADER_SUBTEXT "The folder of the Tandrel Mini executable."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Choose the player's folder: the folder that holds the Tandrel Mini \
executable and its bass.dll. lumesrc.dll goes into its Plugins folder and devselect.exe into the folder \
itself. Nothing of the player's is replaced."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Tandrel Mini's folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${PRODUCT} ${VERSION} installed"
!define MUI_FINISHPAGE_TEXT "$Notes"
!define MUI_FINISHPAGE_TEXT_LARGE
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "This removes Plugins\lumesrc.dll, devselect.exe and this uninstaller from \
the player's folder below. The media library (bass.dll, its add-ons), Tandrel.ini and the player's other \
plug-ins stay."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" ""

; Sets $Notes from the player's bass.dll: missing, without a version, too old, or fine.
Function CheckMediaLibrary
  ${IfNot} ${FileExists} "$INSTDIR\bass.dll"
    StrCpy $Notes "Note: $INSTDIR has no bass.dll. The plug-in needs the player's media library, bass.dll \
and its add-ons, in the player's folder; they are not part of this package. If this is not the folder \
of the player's executable, run the installer again and choose that one."
    Return
  ${EndIf}
  ClearErrors
  GetDLLVersion "$INSTDIR\bass.dll" $R0 $R1
  ${If} ${Errors}
    StrCpy $Notes "Note: the bass.dll in $INSTDIR carries no version information. Release ${BASS_SAFE} \
or later of the media library is needed; the current one is ${BASS_CURRENT}."
    Return
  ${EndIf}
  IntOp $R2 $R0 >>> 16
  IntOp $R3 $R0 & 0xFFFF
  IntOp $R4 $R1 >>> 16
  IntOp $R5 $R1 & 0xFFFF
  StrCpy $R6 "$R2.$R3.$R4.$R5"
  ; Older: a lower major.minor, or the same one with a lower build.revision.
  StrCpy $R7 0
  ${If} $R0 U< ${BASS_SAFE_HIGH}
    StrCpy $R7 1
  ${ElseIf} $R0 = ${BASS_SAFE_HIGH}
  ${AndIf} $R1 U< ${BASS_SAFE_LOW}
    StrCpy $R7 1
  ${EndIf}
  ${If} $R7 = 1
    StrCpy $Notes "Warning: the media library bass.dll in $INSTDIR is release $R6, older than \
${BASS_SAFE}. That release crashes the player on some damaged WAV files. Update bass.dll and its add-ons \
to the current release, ${BASS_CURRENT}."
  ${Else}
    StrCpy $Notes "The media library bass.dll in $INSTDIR is release $R6."
  ${EndIf}
FunctionEnd

; The silent log: what was installed and the note on the media library, in %TEMP%.
Function WriteLog
  ClearErrors
  FileOpen $0 "$TEMP\${LOG}" w
  ${If} ${Errors}
    DetailPrint "Cannot write $TEMP\${LOG}"
    Return
  ${EndIf}
  FileWrite $0 "${PRODUCT} ${VERSION} installed into $INSTDIR$\r$\n"
  FileWrite $0 "installed: $INSTDIR\Plugins\lumesrc.dll$\r$\n"
  FileWrite $0 "installed: $INSTDIR\devselect.exe$\r$\n"
  FileWrite $0 "installed: $INSTDIR\${UNINSTALLER}$\r$\n"
  FileWrite $0 "$Notes$\r$\n"
  FileClose $0
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR\Plugins"
  File "${STAGE}/lumesrc.dll"
  SetOutPath "$INSTDIR"
  File "${STAGE}/devselect.exe"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\devselect.exe"
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0

  Call CheckMediaLibrary
  DetailPrint "$Notes"
  Call WriteLog
  StrCpy $Notes "${PRODUCT} ${VERSION} is installed in $INSTDIR.$\r$\n$\r$\n$Notes$\r$\n$\r$\n\
Settings: Tandrel.ini in the player's folder. To remove, use Add/Remove Programs."
SectionEnd

; Removes what the installer put there and nothing else: bass.dll, its add-ons,
; Tandrel.ini and the player's other plug-ins stay.
Section "Uninstall"
  ; Only when this folder's install is the registered one: a later install
  ; elsewhere keeps its entry.
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    DeleteRegKey HKLM "${UNINST_KEY}"
  ${EndIf}
  Delete "$INSTDIR\Plugins\lumesrc.dll"
  RMDir "$INSTDIR\Plugins" ; only when nothing else is in it
  Delete "$INSTDIR\devselect.exe"
  Delete "$INSTDIR\${UNINSTALLER}"
SectionEnd
