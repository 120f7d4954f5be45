; Setup of Pellory: installs the two programs of one build, puts the Register and Unregister verbs
; on the context menu of COM files, and adds an uninstaller that lets Brannock take them out again.
; The build passes VERSION, ARCH (x64 or x86), PELLORY_EXE, BRANNOCK_EXE, ICON, OUTFILE and the
; upgrade codes of the two Windows Installer packages, PACKAGE_X64 and PACKAGE_X86, and KEYS, the
; include that names Brannock's keys to the macros below (see CMakeLists.txt).

; NSIS 3 setup programs and uninstallers restrict their own library search to the system folder
; before anything else runs; an older makensis would build ones that do not.
!if ${NSIS_PACKEDVERSION} < 0x03000000
  !error "NSIS 3 or later is needed to build the setup program"
!endif

!if ${ARCH} == x64
  ; A 64-bit setup program, which 32-bit Windows itself refuses to start.
  Target amd64-unicode
  !define VIEW 64
  !define OTHER_VIEW 32
!else
  Unicode true
  !define VIEW 32
  !define OTHER_VIEW 64
!endif
RequestExecutionLevel admin

; With a certificate the build passes SIGN, a command that signs a file in place: the uninstaller
; that setup writes is signed as makensis makes it, and the setup program once it is written.
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh

!define PRODUCT "Pellory"
!define PUBLISHER "Varnholt"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define UNINSTALLER "uninst.exe"
; The value of the list entry that says setup associated .tlb with TLB_CLASS, whose verbs these are.
!define TLB_RECORD "TypeLibraryAssociation"
!define TLB_CLASS "tlbfile"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
!if ${ARCH} == x64
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  ; 32-bit programs: on 64-bit Windows this is the (x86) folder.
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
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

; Where a package installed Pellory, its list entry and uninstaller would stay beside this one's
; over the same keys, so setup stops, silent too (exit status 2).
!macro REFUSE_PACKAGE CODE
  System::Call 'msi::MsiEnumRelatedProductsW(w "${CODE}", i 0, i 0, w .r1) i .r0'
  ${If} $0 = 0
    MessageBox MB_ICONSTOP "Pellory was installed here from a Windows Installer package; \
      uninstall it from the list of installed programs first." /SD IDOK
    Abort
  ${EndIf}
!macroend

Function .onInit
  !insertmacro REFUSE_PACKAGE ${PACKAGE_X64}
  !insertmacro REFUSE_PACKAGE ${PACKAGE_X86}
FunctionEnd

; The programs and the uninstaller of the installation in FOLDER, unless it is this one; the folder
; goes only when empty.
!macro REMOVE_COPY FOLDER
  ${If} ${FOLDER} != ""
  ${AndIf} ${FOLDER} != $INSTDIR
    Delete "${FOLDER}\Pellory.exe"
    Delete "${FOLDER}\Brannock.exe"
    Delete "${FOLDER}\${UNINSTALLER}"
    RMDir "${FOLDER}"
  ${EndIf}
!macroend

; After Brannock: a key of its twenty that is still there is removed here, unless it holds more
; than setup wrote (as Brannock leaves it too); one that stays is named in the log.
!macro REMOVE_LEFT KEY
  DeleteRegKey /ifnosubkeys HKCR "${KEY}"
  ClearErrors
  EnumRegKey $1 HKCR "${KEY}" 0
  ${If} $1 != ""
    DetailPrint "Could not remove HKEY_CLASSES_ROOT\${KEY}: it holds $1"
  ${EndIf}
!macroend

; The verbs' drop targets, Pellory started by COM for a whole selection: one class a verb.
!define REGISTER_CLASS "{D5DCB7E5-E10E-4255-BEF6-D9E38743244F}"
!define UNREGISTER_CLASS "{CDA53A79-4AE9-46B4-A89A-D3F142BB5D55}"

; A verb: the shield says that it may ask for administrator rights; no count of selected files
; hides it, and a whole selection goes to its drop target.
!macro VERB_KEY KEY CLASS
  WriteRegStr HKCR "${KEY}" "HasLUAShield" ""
  WriteRegStr HKCR "${KEY}" "MultiSelectModel" "Player"
  WriteRegStr HKCR "${KEY}\DropTarget" "Clsid" "${CLASS}"
!macroend

; A verb's command, starting Pellory on the clicked file.
!macro COMMAND_KEY KEY SWITCH
  WriteRegStr HKCR "${KEY}" "" '${COMMAND} ${SWITCH} "%1"'
!macroend

; WRITE_KEYS, REMOVE_DROP_TARGETS (before Brannock, so that its keys are as it knows them) and
; REMOVE_LEFT_KEYS, over Brannock's keys deepest first.
!include "${KEYS}"

Section "${PRODUCT}" SecMain
  SectionIn RO
  ; $3: 1 where the other build's installation associated .tlb, and so where this one does.
  StrCpy $3 ""
  ; The other build's installation goes with its list entry: both put the same verbs in place,
  ; and one copy, one set of keys and one entry stay. On 32-bit Windows there is one view only.
!if ${ARCH} == x86
  ${If} ${RunningX64}
!endif
    SetRegView ${OTHER_VIEW}
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    !insertmacro REMOVE_COPY $0
    ReadRegDWORD $3 HKLM "${UNINSTALL_KEY}" "${TLB_RECORD}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
!if ${ARCH} == x86
  ${EndIf}
!endif
  ; Brannock deletes in its own build's view, so the keys are written there too (the file types'
  ; keys are shared by both views anyway).
  SetRegView ${VIEW}

  ; An earlier installation in another folder goes, so that one copy and one set of keys stay.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  !insertmacro REMOVE_COPY $0

  SetOutPath "$INSTDIR"
  ; /oname also keeps a build path beginning with a slash from reading as a switch.
  File "/oname=Pellory.exe" "${PELLORY_EXE}"
  File "/oname=Brannock.exe" "${BRANNOCK_EXE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The keys Brannock removes, and the drop targets and their classes, which the uninstaller
  ; removes before it runs Brannock.
  !insertmacro WRITE_KEYS
  WriteRegStr HKCR "CLSID\${REGISTER_CLASS}\LocalServer32" "" '${COMMAND}'
  WriteRegStr HKCR "CLSID\${UNREGISTER_CLASS}\LocalServer32" "" '${COMMAND}'
  ; Without an association of .tlb its verbs never show, so setup makes one where there is none;
  ; another program's stays as it is. One that setup made stays recorded through a repair (the
  ; list entry stays) and through the other build's installation (recorded anew).
  ReadRegStr $0 HKCR ".tlb" ""
  ${If} $0 == ""
    WriteRegStr HKCR ".tlb" "" "${TLB_CLASS}"
    StrCpy $3 1
  ${EndIf}
  ${If} $3 = 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "${TLB_RECORD}" 1
  ${EndIf}

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
  SetRegView ${VIEW}
  !insertmacro REMOVE_DROP_TARGETS
  DeleteRegKey HKCR "CLSID\${REGISTER_CLASS}"
  DeleteRegKey HKCR "CLSID\${UNREGISTER_CLASS}"
  ; Brannock takes the verbs and the Applications entry out; it must be done before its own file
  ; goes.
  ExecWait '"$INSTDIR\Brannock.exe"'
  ; Whatever Brannock could not remove goes here, before the program its verbs start goes.
  !insertmacro REMOVE_LEFT_KEYS
  ; The association of .tlb goes only where setup made it and no other program has changed it.
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "${TLB_RECORD}"
  ReadRegStr $1 HKCR ".tlb" ""
  ${If} $0 = 1
  ${AndIf} $1 == "${TLB_CLASS}"
    DeleteRegValue HKCR ".tlb" ""
    DeleteRegKey /ifempty HKCR ".tlb"
  ${EndIf}
  Delete "$INSTDIR\Pellory.exe"
  Delete "$INSTDIR\Brannock.exe"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: files the user put there stay, and so does the folder.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
