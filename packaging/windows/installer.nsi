; The per-user installer of Orvanta Lucky Draw: no administrator needed. It installs into the user's
; programs folder, adds the Start menu and desktop entries "Orvanta抽奖软件" (the launcher, which
; runs the program in Documents\OrvantaLuckyDraw) and an entry in Apps & features. The uninstaller
; removes the files it installed and never an event folder.
; makensis -DPROGRAM_VERSION=... -DSTAGE=<folder with launcher, program\, examples\> -DOUTFILE=...
; A 64-bit installer for a 64-bit program (and Wine 64 runs it in the tests).
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
!include MUI2.nsh

!define PRODUCT "Orvanta抽奖软件"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvantaLuckyDraw"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\OrvantaLuckyDraw"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${PROGRAM_VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${PROGRAM_VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${PROGRAM_VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "MIT License"

!define MUI_ICON "${STAGE}\orvanta-lottery.ico"
!define MUI_UNICON "${STAGE}\orvanta-lottery.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\OrvantaLuckyDraw.exe"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

LangString EventKept ${LANG_SIMPCHINESE} "活动文件夹（文档\OrvantaLuckyDraw）没有删除，其中的名单与中奖记录都还在。"
LangString EventKept ${LANG_ENGLISH} "The event folder (Documents\OrvantaLuckyDraw) was not removed; its lists and results are kept."

Function .onInit
    SetShellVarContext current
    !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Section
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    !include "${STAGE}\install-files.nsh"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\OrvantaLuckyDraw.exe"
    CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\OrvantaLuckyDraw.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${PROGRAM_VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Orvanta Lucky Draw developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Comments" "MIT License ($INSTDIR\LICENSE.txt)"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Readme" "$INSTDIR\LICENSE.txt"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\OrvantaLuckyDraw.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    ; Only the files the installer put here, one by one: anything else (an event somebody kept in
    ; the program's folder) stays, and so do the folders that still hold it.
    !include "${STAGE}\uninstall-files.nsh"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$DESKTOP\${PRODUCT}.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DetailPrint "$(EventKept)"
SectionEnd
