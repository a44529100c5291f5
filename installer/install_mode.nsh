; Per user or for the machine, and which one an install already there has.
;
; MultiUser.nsh does not fit a setup that runs without elevation (RequestExecutionLevel user):
; at its Standard level it never reads MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY (only the
; Admin, Power and Highest levels do), so setup cannot find an all-users install to upgrade; and
; an uninstaller started with /AllUsers but without elevation (as Settings > Apps starts it) can
; only refuse, with the installer's text. Here:
; - setup takes /AllUsers or /CurrentUser as given; without either it upgrades the install it
;   finds (the machine's first), in its folder, and installs per user when there is none;
; - the uninstaller takes the mode its entry gives, or, started by hand, the machine's when it
;   is the machine's install's uninstaller;
; - a process that needs administrator rights and lacks them starts itself again through UAC
;   ("runas"); silent, or refused, it explains and ends with 740 (ERROR_ELEVATION_REQUIRED).

Var InstallMode  ; AllUsers or CurrentUser
Var Elevated     ; 1 when the process has administrator rights
Var MachineDir   ; the folder of the install for all users, "" for none
Var UserDir      ; the folder of this user's install, "" for none
Var Switches     ; the command line's switches (/D= is not among them)

!define ELEVATION_REQUIRED 740

!macro INSTALL_MODE_FUNCTIONS UN
  Function ${UN}UseAllUsers
    StrCpy $InstallMode AllUsers
    SetShellVarContext all
  FunctionEnd

  Function ${UN}UseCurrentUser
    StrCpy $InstallMode CurrentUser
    SetShellVarContext current
  FunctionEnd

  ; Rights, switches and the installs already there.
  Function ${UN}ReadSituation
    UserInfo::GetAccountType
    Pop $0
    StrCpy $Elevated 0
    StrCmp $0 "Admin" 0 +2
      StrCpy $Elevated 1
    ${GetParameters} $Switches
    ReadRegStr $MachineDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $UserDir HKCU "${UNINSTALL_KEY}" "InstallLocation"
  FunctionEnd

  ; Sets $0 to AllUsers, CurrentUser or "" as the command line asks.
  Function ${UN}RequestedMode
    StrCpy $0 ""
    ClearErrors
    ${GetOptions} $Switches "/CurrentUser" $1
    IfErrors +2
      StrCpy $0 CurrentUser
    ClearErrors
    ${GetOptions} $Switches "/AllUsers" $1
    IfErrors +2
      StrCpy $0 AllUsers
  FunctionEnd
!macroend
!insertmacro INSTALL_MODE_FUNCTIONS ""
!insertmacro INSTALL_MODE_FUNCTIONS "un."

; Ends the process after starting it again elevated with `ARGUMENTS`, or, when that cannot be,
; after saying why (`TEXT`) and with exit code 740.
!macro ELEVATE_OR_END PROGRAM ARGUMENTS TEXT
  ${IfNot} ${Silent}
    ClearErrors
    ExecShell "runas" "${PROGRAM}" "${ARGUMENTS}"
    ${IfNot} ${Errors}
      Quit
    ${EndIf}
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel ${ELEVATION_REQUIRED}
  Quit
!macroend
