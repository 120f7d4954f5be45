; Setup of Pellory: installs both 32-bit programs, puts the Register and Unregister verbs on the
; context menu of COM files, and adds an uninstaller that lets Brannock take them out again.
; The build passes VERSION, PELLORY_EXE, BRANNOCK_EXE, ICON and OUTFILE (see CMakeLists.txt).

; NSIS 3 setup programs and uninstallers restrict their own library search to the system folder
; before anything else runs; an older makensis would build ones that do not.
!if ${NSIS_PACKEDVERSION} < 0x03000000
  !error "NSIS 3 or later is needed to build the setup program"
!endif

Unicode true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh

!define PRODUCT "Pellory"
!define PUBLISHER "Varnholt"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define UNINSTALLER "uninst.exe"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; 32-bit programs: on 64-bit Windows this is the (x86) folder.
InstallDir "$PROGRAMFILES\${PRODUCT}"
; Running setup again proposes the folder of the installation it repairs.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_TITLE "${PRODUCT} is installed"
!define MUI_FINISHPAGE_TEXT "Right-click an .ocx, .dll, .exe or .tlb file and choose Register or \
Unregister; a small balloon tells you the outcome.$\r$\n$\r$\nTo remove ${PRODUCT} and these \
menu entries, uninstall it from the list of installed programs."

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define COMMAND '"$INSTDIR\Pellory.exe"'

; The two verbs of one file type, each starting Pellory on the clicked file. The shield says that
; the verb may ask for administrator rights.
!macro VERBS TYPE
  WriteRegStr HKCR "${TYPE}\shell\Register\command" "" '${COMMAND} /register "%1"'
  WriteRegStr HKCR "${TYPE}\shell\Register" "HasLUAShield" ""
  WriteRegStr HKCR "${TYPE}\shell\Unregister\command" "" '${COMMAND} /unregister "%1"'
  WriteRegStr HKCR "${TYPE}\shell\Unregister" "HasLUAShield" ""
!macroend

Section "${PRODUCT}" SecMain
  SectionIn RO
  ; Brannock is 32-bit and deletes in the 32-bit view, so the keys are written there too (the
  ; file types' keys are shared by both views anyway).
  SetRegView 32

  ; An earlier installation in another folder goes, so that one copy and one set of keys stay.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
    Delete "$0\Pellory.exe"
    Delete "$0\Brannock.exe"
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
  ${EndIf}

  SetOutPath "$INSTDIR"
  ; /oname also keeps a build path beginning with a slash from reading as a switch.
  File "/oname=Pellory.exe" "${PELLORY_EXE}"
  File "/oname=Brannock.exe" "${BRANNOCK_EXE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; Exactly the keys Brannock removes: nothing else is written under the classes root.
  !insertmacro VERBS ocxfile
  !insertmacro VERBS exefile
  !insertmacro VERBS tlbfile
  !insertmacro VERBS dllfile
  WriteRegStr HKCR "Applications\Pellory.exe\shell\open\command" "" '${COMMAND} /register "%1"'

  SectionGetSize ${SecMain} $1
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Pellory.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetRegView 32
  ; Brannock takes the verbs and the Applications entry out; it must be done before its own file
  ; goes.
  ExecWait '"$INSTDIR\Brannock.exe"'
  Delete "$INSTDIR\Pellory.exe"
  Delete "$INSTDIR\Brannock.exe"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: files the user put there stay, and so does the folder.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
