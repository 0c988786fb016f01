; The setup of MIRLOX Quorel: a 64-bit installer in German for all users of the machine that
; carries both builds of the program and installs the one that matches the vendor's client object
; registered on the machine. It puts quorel.exe under the program folder of that build, one
; Start-menu entry for all users, the uninstaller with its entry in "Programs and Features" and
; install.log, which says which build was installed and why. /S installs silently, /D=FOLDER
; (last) elsewhere; the uninstaller takes /S too.
;
; scripts/package-windows defines: VERSION (major.minor.patch), STAGE (the folder with
; 64-Bit\quorel.exe and 32-Bit\quorel.exe), ICON, OUTFILE, and SIGN (a command that signs the
; file it is given in place) when the programs are signed: then the uninstaller and the setup
; are signed too.

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!searchparse "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR "." VERSION_PATCH
!define NAME "MIRLOX Quorel"
!define PUBLISHER "MIRLOX Software"
!define SUMMARY "Anmeldung an die MIRLOX-Anwendungen"
; The client object as the program looks it up: its ProgID names a CLSID whose InprocServer32 is
; the library, in the registry view of the program's architecture.
!define CLIENT_OBJECT "CacheObject.Factory"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorel"
!define UNINSTALLER "$INSTDIR\Uninstall.exe"
!define LOG "$INSTDIR\install.log"
!define SHORTCUT "$SMPROGRAMS\${NAME}.lnk"
; Administrators only (ERROR_ELEVATION_REQUIRED otherwise), and the program must not run while
; it is replaced or removed.
!define EXIT_NOT_ADMIN 740
!define EXIT_FAILED 2

!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

Name "${NAME}"
OutFile "${OUTFILE}"
; No fixed folder: .onInit takes the installed one of the build, else the build's program folder.
InstallDir ""
BrandingText "${PUBLISHER}"

; The build to install ("64" or "32"), why, and the other build's installation, if any.
Var Build
Var Reason
Var OtherFolder
Var LogFile
; The program folder of 32-bit programs, which a 64-bit installer's $PROGRAMFILES32 does not give.
Var Programs32

;--------------------------------
; Pages

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "Dieser Assistent installiert $(^NameDA) ${VERSION} für alle Benutzer \
dieses Computers und legt den Eintrag $\"$(^NameDA)$\" im Startmenü an.$\r$\n$\r$\n\
Quorel braucht das Client-Objekt des Datenbankherstellers ($\"${CLIENT_OBJECT}$\"), das der \
Administrator getrennt installiert und registriert. Es ist auf diesem Computer $Reason; \
installiert wird deshalb die $Build-Bit-Ausgabe von Quorel.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$(^NameDA) ($Build-Bit-Ausgabe) ist installiert und steht im \
Startmenü.$\r$\n$\r$\n\
Zum Anmelden muss das Client-Objekt des Datenbankherstellers ($\"${CLIENT_OBJECT}$\") in seiner \
$Build-Bit-Ausgabe installiert und registriert sein.$\r$\n$\r$\n\
Klicken Sie auf Fertigstellen, um den Assistenten zu schließen."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "German"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductName" "${NAME}"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileDescription" "Installation von ${NAME}"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileVersion" "${VERSION}"

;--------------------------------
; Both directions: for all users, by an administrator.

!macro RequireAdministrator
  SetShellVarContext all
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Nur ein Administrator kann $(^NameDA) für alle Benutzer \
installieren oder entfernen." /SD IDOK
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}
!macroend

; Stops with a message and a failure status when the program file cannot be replaced or
; removed, which is the case while it runs.
!macro StopUnlessWritable PROGRAM
  ${If} ${FileExists} "${PROGRAM}"
    ClearErrors
    FileOpen $0 "${PROGRAM}" a
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "$(^NameDA) läuft noch ($\"${PROGRAM}$\"). \
Beenden Sie das Programm und versuchen Sie es erneut." /SD IDOK
      SetErrorLevel ${EXIT_FAILED}
      Abort
    ${EndIf}
    FileClose $0
  ${EndIf}
!macroend

; The registry view of one build: 64 or 32.
!macro UseView BUILD
  ${If} ${BUILD} == 64
    SetRegView 64
  ${Else}
    SetRegView 32
  ${EndIf}
!macroend

; RESULT is 1 when the client object's class is registered in the registry view VIEW (64 or 32)
; with its library. The ProgID names the class for both views: Windows keeps it where both see
; it, but a 64-bit program asking for the 32-bit view under Wine finds only a ProgID written there.
!macro ClientObjectRegistered VIEW RESULT
  StrCpy ${RESULT} 0
  SetRegView 64
  ReadRegStr $0 HKCR "${CLIENT_OBJECT}\CLSID" ""
  ${If} $0 == ""
    SetRegView 32
    ReadRegStr $0 HKCR "${CLIENT_OBJECT}\CLSID" ""
  ${EndIf}
  ${If} $0 != ""
    SetRegView ${VIEW}
    ReadRegStr $1 HKCR "CLSID\$0\InprocServer32" ""
    ${If} $1 != ""
      StrCpy ${RESULT} 1
    ${EndIf}
  ${EndIf}
!macroend

; A line in the installation's details and in install.log.
!macro Log TEXT
  DetailPrint "${TEXT}"
  FileWriteUTF16LE $LogFile "${TEXT}$\r$\n"
!macroend

;--------------------------------
; Installing

Section "-Prepare"
  ; The other build's installation, which this one replaces: one Quorel on a machine.
  ${If} $Build == 64
    SetRegView 32
  ${Else}
    SetRegView 64
  ${EndIf}
  ReadRegStr $OtherFolder HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $OtherFolder != ""
    !insertmacro StopUnlessWritable "$OtherFolder\quorel.exe"
  ${EndIf}
  !insertmacro UseView $Build
  !insertmacro StopUnlessWritable "$INSTDIR\quorel.exe"

  SetOutPath "$INSTDIR"
  FileOpen $LogFile "${LOG}" w
  FileWriteUTF16LE /BOM $LogFile ""
  !insertmacro Log "${NAME} ${VERSION}"
  !insertmacro Log "Client-Objekt $\"${CLIENT_OBJECT}$\": $Reason"
  !insertmacro Log "Installiert wird die $Build-Bit-Ausgabe nach $\"$INSTDIR$\"."

  ${If} $OtherFolder != ""
    ${If} $Build == 64
      SetRegView 32
      StrCpy $0 32
    ${Else}
      SetRegView 64
      StrCpy $0 64
    ${EndIf}
    !insertmacro Log "Die $0-Bit-Ausgabe in $\"$OtherFolder$\" wird ersetzt."
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${If} $OtherFolder != $INSTDIR
      Delete "$OtherFolder\quorel.exe"
      Delete "$OtherFolder\Uninstall.exe"
      Delete "$OtherFolder\install.log"
      RMDir "$OtherFolder"
      ${GetParent} "$OtherFolder" $1
      RMDir "$1"
    ${EndIf}
    !insertmacro UseView $Build
  ${EndIf}
  ; From here on every file and value must be written; the other build's folders may stay when
  ; something else is in them.
  ClearErrors
SectionEnd

; One of the two, chosen in .onInit, so that the wizard counts the space of that one alone.
Section "-64-Bit" Program64
  File "${STAGE}/64-Bit/quorel.exe"
SectionEnd

Section "-32-Bit" Program32
  File "${STAGE}/32-Bit/quorel.exe"
SectionEnd

Section "-Register"
  WriteUninstaller "${UNINSTALLER}"
  CreateShortCut "${SHORTCUT}" "$INSTDIR\quorel.exe" "" "$INSTDIR\quorel.exe" 0 \
    SW_SHOWNORMAL "" "${SUMMARY}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMajor" ${VERSION_MAJOR}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMinor" ${VERSION_MINOR}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "https://www.mirlox.example/"
  ; The program's own icon, the first in quorel.exe.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quorel.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; A silent installation has no other way to tell that a file or value was not written.
  ${If} ${Errors}
    !insertmacro Log "Die Installation ist unvollständig."
    FileClose $LogFile
    MessageBox MB_OK|MB_ICONSTOP "Die Installation nach $\"$INSTDIR$\" ist unvollständig." /SD IDOK
    SetErrorLevel ${EXIT_FAILED}
    Abort
  ${EndIf}
  !insertmacro Log "Fertig."
  FileClose $LogFile
SectionEnd

;--------------------------------
; Which build: the 64-bit one when a 64-bit program finds the client object, else the 32-bit one,
; which serves the client object's 32-bit form and is the choice when none is registered yet.

!macro FindProgramFiles32
  SetRegView 64
  ReadRegStr $Programs32 HKLM "Software\Microsoft\Windows\CurrentVersion" "ProgramFilesDir (x86)"
!macroend

Function .onInit
  !insertmacro RequireAdministrator
  !insertmacro FindProgramFiles32
  !insertmacro ClientObjectRegistered 64 $R6
  !insertmacro ClientObjectRegistered 32 $R3
  ${If} $R6 == 1
    StrCpy $Build 64
    ${If} $R3 == 1
      StrCpy $Reason "für 64-Bit- und für 32-Bit-Programme registriert"
    ${Else}
      StrCpy $Reason "für 64-Bit-Programme registriert"
    ${EndIf}
  ${Else}
    StrCpy $Build 32
    ${If} $R3 == 1
      StrCpy $Reason "für 32-Bit-Programme registriert"
    ${Else}
      StrCpy $Reason "nicht registriert"
    ${EndIf}
  ${EndIf}

  ${If} $Build == 64
    !insertmacro UnselectSection ${Program32}
  ${Else}
    !insertmacro UnselectSection ${Program64}
  ${EndIf}

  ; An update goes where the build is installed; /D= has set $INSTDIR already.
  !insertmacro UseView $Build
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $INSTDIR == ""
    ${If} $Build == 64
      StrCpy $INSTDIR "$PROGRAMFILES64\MIRLOX\Quorel"
    ${Else}
      StrCpy $INSTDIR "$Programs32\MIRLOX\Quorel"
    ${EndIf}
  ${EndIf}
FunctionEnd

;--------------------------------
; Uninstalling: everything the installer put there, nothing of the users' settings.

Function un.onInit
  !insertmacro RequireAdministrator
  !insertmacro FindProgramFiles32
FunctionEnd

; The entry that names this folder, in the view of the build installed there.
!macro DeleteEntryOfThisFolder VIEW
  SetRegView ${VIEW}
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
!macroend

Section Uninstall
  !insertmacro StopUnlessWritable "$INSTDIR\quorel.exe"
  Delete "${SHORTCUT}"
  Delete "$INSTDIR\quorel.exe"
  Delete "${LOG}"
  Delete "${UNINSTALLER}"
  RMDir "$INSTDIR"
  ; The publisher's folder of the default places, when nothing else of it is left there.
  RMDir "$PROGRAMFILES64\MIRLOX"
  RMDir "$Programs32\MIRLOX"
  !insertmacro DeleteEntryOfThisFolder 64
  !insertmacro DeleteEntryOfThisFolder 32
SectionEnd
