; The Windows installer. Per user by default, without administrator rights, into
; %LOCALAPPDATA%\Programs\Kavenor\Ombrix_Tessaly; /AllUsers (from an elevated prompt) for the
; machine into Program Files\Kavenor\Ombrix_Tessaly. Folder names stay ASCII: Korean in a path
; breaks shortcuts on PCs of other locales.
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

!define MULTIUSER_EXECUTIONLEVEL Standard
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${COMPANY}\${PRODUCT}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_MUI
!define MULTIUSER_INIT_TEXT_ALLUSERSNOTPOSSIBLE \
  "모든 사용자용 설치(/AllUsers)에는 관리자 권한이 필요합니다.$\n$\n관리자 권한으로 실행한 명령 프롬프트에서 다시 시작하세요."
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
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

; A running program keeps its file open and its window on the old files: ask the operator to
; close it, and give up in silent mode.
!macro WAIT_UNTIL_CLOSED
  ${Do}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_NAME}") p .r0'
    ${If} $0 P= 0
      ${Break}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${PRODUCT}이(가) 실행 중입니다.$\n$\n프로그램을 닫은 뒤 [다시 시도]를 누르세요." \
      /SD IDCANCEL IDRETRY +2
    Abort
  ${Loop}
!macroend

Var RequestedDir

Function .onInit
  StrCpy $RequestedDir $INSTDIR  ; set only by /D=, which the install mode must not override
  !insertmacro MULTIUSER_INIT
  ${If} $RequestedDir != ""
    StrCpy $INSTDIR $RequestedDir
  ${EndIf}
  !insertmacro WAIT_UNTIL_CLOSED
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
  !insertmacro WAIT_UNTIL_CLOSED
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
    '"$INSTDIR\${UNINSTALLER}" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
    '"$INSTDIR\${UNINSTALLER}" /S /$MultiUser.InstallMode'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Everything the installer wrote, and nothing else: the operator's own setting
; (HKCU\SoftWare\Kavenor\Ombrix_Tessaly) stays.
Section "Uninstall"
  Delete "${STARTMENU}\${PRODUCT}.lnk"
  Delete "${STARTMENU}\${GUIDE_LINK}"
  RMDir "${STARTMENU}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\${CONSOLE_EXE}"
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
