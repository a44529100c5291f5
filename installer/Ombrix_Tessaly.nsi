; The Windows installer. Per user by default, without administrator rights, into
; %LOCALAPPDATA%\Programs\Kavenor\Ombrix_Tessaly; /AllUsers for the machine into
; Program Files\Kavenor\Ombrix_Tessaly (asking for elevation). Run again, it upgrades the install
; it finds in place (install_mode.nsh). Folder names stay ASCII: Korean in a path breaks
; shortcuts on PCs of other locales.
;
; makensis -INPUTCHARSET UTF8 -DGENERATED=<dir of product.nsh> -DPROGRAM=<Ombrix_Tessaly.exe>
;          -DCONSOLE=<ombrix.exe>
;          -DGUIDE=<docs/guide> -DICON=<ombrix.ico> -DOUTFILE=<setup.exe> [-DSIGN="<command>"]
; SIGN, when given, signs the uninstaller and the installer as they are written ("%1" is the
; file); the program itself is signed before it is packed (scripts/package.sh).

Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!addincludedir "${GENERATED}"
!include "product.nsh"

!define PRODUCT "Ombrix_Tessaly"
!define COMPANY "Kavenor"
!define EXE "Ombrix_Tessaly.exe"
!define CONSOLE_EXE "ombrix.exe"
!define UNINSTALLER "Uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavenor.Ombrix_Tessaly"
!define STARTMENU "$SMPROGRAMS\Ombrix_Tessaly"
!define GUIDE_LINK "Ombrix_Tessaly 사용 설명서.lnk"

!ifdef SIGN
  !finalize '${SIGN} "%1"' = 0
  !uninstfinalize '${SIGN} "%1"' = 0
!endif

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} 설치"
UninstallCaption "${PRODUCT} 제거"
OutFile "${OUTFILE}"
BrandingText "${COMPANY}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1042 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1042 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1042 "FileDescription" "${PRODUCT} ${VERSION} 설치 프로그램"
VIAddVersionKey /LANG=1042 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1042 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1042 "LegalCopyright" "Copyright © ${COMPANY}"

RequestExecutionLevel user  ; elevated only when an install for all users needs it
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include "install_mode.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunInstalledProgram
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\guide\index.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "사용 설명서 보기"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Korean"

; A running program keeps its files open and its window on the old files: ask the operator to
; close it, and give up in silent mode (exit code 2). Both programs mark themselves in the global
; namespace, so that those of every session count, other users' too; a mark that this user may
; not open (access denied) is there all the same. Version 1.0 marked only the window, in its own
; session, under the older name.
!macro WAIT_UNTIL_CLOSED
  ${Do}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Global\${IN_USE_NAME}") p .r0 ?e'
    Pop $1
    ${If} $0 P= 0
    ${AndIf} $1 <> 5
      System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_NAME}") p .r0'
    ${EndIf}
    ${If} $0 P= 0
    ${AndIf} $1 <> 5
      ${Break}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${PRODUCT} 또는 ${CONSOLE_EXE}가 실행 중입니다. 다른 사용자 계정에서 실행 중일 수도 있습니다.$\n$\n프로그램을 모두 닫은 뒤 [다시 시도]를 누르세요." \
      /SD IDCANCEL IDRETRY +2
    Abort
  ${Loop}
!macroend

!define ADMIN_FOR_INSTALL \
  "모든 사용자용으로 설치하거나 업데이트하려면 관리자 권한이 필요합니다.$\n$\n관리자 권한으로 다시 실행하거나 PC 관리자에게 문의하세요."
!define ADMIN_FOR_UNINSTALL \
  "모든 사용자용으로 설치된 ${PRODUCT}을(를) 제거하려면 관리자 권한이 필요합니다.$\n$\n관리자 권한으로 다시 실행하거나 PC 관리자에게 문의하세요."

Var RequestedDir

; The mode asked for, else that of the install already there (the machine's first), else per
; user; the folder of that install, else the mode's usual one; /D= over both.
Function .onInit
  StrCpy $RequestedDir $INSTDIR  ; set only by /D=
  Call ReadSituation
  Call RequestedMode
  ; LogicLib reads its conditions in order: (no switch and a machine's install) or /AllUsers.
  ${If} $0 == ""
  ${AndIf} $MachineDir != ""
  ${OrIf} $0 == AllUsers
    Call UseAllUsers
    StrCpy $INSTDIR $MachineDir
    StrCmp $INSTDIR "" 0 +2
      StrCpy $INSTDIR "$PROGRAMFILES64\${COMPANY}\${PRODUCT}"
  ${Else}
    Call UseCurrentUser
    StrCpy $INSTDIR $UserDir
    ${If} $INSTDIR == ""
      GetKnownFolderPath $INSTDIR {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}  ; UserProgramFiles
      StrCmp $INSTDIR "" 0 +2
        StrCpy $INSTDIR "$LOCALAPPDATA\Programs"
      StrCpy $INSTDIR "$INSTDIR\${COMPANY}\${PRODUCT}"
    ${EndIf}
  ${EndIf}
  ${If} $RequestedDir != ""
    StrCpy $INSTDIR $RequestedDir
  ${EndIf}
  ${If} $InstallMode == AllUsers
  ${AndIf} $Elevated != 1
    StrCpy $0 "$Switches /AllUsers"
    StrCmp $RequestedDir "" +2
      StrCpy $0 "$0 /D=$RequestedDir"
    !insertmacro ELEVATE_OR_END "$EXEPATH" "$0" "${ADMIN_FOR_INSTALL}"
  ${EndIf}
  !insertmacro WAIT_UNTIL_CLOSED
FunctionEnd

; The mode of the entry that started it; started by hand, the machine's when this is the
; machine's install.
Function un.onInit
  Call un.ReadSituation
  Call un.RequestedMode
  ${If} $0 == ""
  ${AndIf} $MachineDir == $INSTDIR
  ${OrIf} $0 == AllUsers
    Call un.UseAllUsers
  ${Else}
    Call un.UseCurrentUser
  ${EndIf}
  ${If} $InstallMode == AllUsers
  ${AndIf} $Elevated != 1
    !insertmacro ELEVATE_OR_END "$INSTDIR\${UNINSTALLER}" "/AllUsers" "${ADMIN_FOR_UNINSTALL}"
  ${EndIf}
  !insertmacro WAIT_UNTIL_CLOSED
FunctionEnd

; An elevated setup would hand its rights to the program, and one that an administrator's
; credentials elevated would start it as that administrator, with another profile and another
; port setting. The shell of the signed-in user starts it instead, as a double click would.
Function RunInstalledProgram
  ${If} $Elevated == 1
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\${EXE}"'
  ${Else}
    Exec '"$INSTDIR\${EXE}"'
  ${EndIf}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "${PROGRAM}"
  File "${CONSOLE}"
  SetOutPath "$INSTDIR\guide"
  File /r "${GUIDE}\*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateDirectory "${STARTMENU}"
  CreateShortCut "${STARTMENU}\${PRODUCT}.lnk" "$INSTDIR\${EXE}"
  CreateShortCut "${STARTMENU}\${GUIDE_LINK}" "$INSTDIR\guide\index.html"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} (오염도 측정기 관리 프로그램)"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" \
    '"$INSTDIR\${UNINSTALLER}" /$InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
    '"$INSTDIR\${UNINSTALLER}" /S /$InstallMode'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Everything the installer wrote, and nothing else: the operator's own setting
; (HKCU\SoftWare\Kavenor\Ombrix_Tessaly) stays. The programs go first: one that started after
; the check keeps its file, and then everything stays as it was, entry included, so that the
; uninstall can simply be run again.
Section "Uninstall"
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\${CONSOLE_EXE}"
  ${If} ${FileExists} "$INSTDIR\${EXE}"
  ${OrIf} ${FileExists} "$INSTDIR\${CONSOLE_EXE}"
    MessageBox MB_OK|MB_ICONSTOP \
      "$INSTDIR의 프로그램 파일을 지우지 못했습니다. ${PRODUCT}이(가) 실행 중일 수 있습니다.$\n$\n프로그램을 모두 닫은 뒤 다시 제거하세요." \
      /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  Delete "${STARTMENU}\${PRODUCT}.lnk"
  Delete "${STARTMENU}\${GUIDE_LINK}"
  RMDir "${STARTMENU}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  RMDir /r "$INSTDIR\guide"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  ; The maker's folder goes too when this was its last program.
  ${GetParent} "$INSTDIR" $0
  ${GetFileName} "$0" $1
  ${If} $1 == "${COMPANY}"
    RMDir "$0"
  ${EndIf}
SectionEnd
