; Starts Orvanta Lucky Draw in the user's event folder, Documents\OrvantaLuckyDraw. The program
; keeps every file of an event beside its own executable, so it runs from a copy in that folder:
; the first start makes the folder with the program and the sample event; later starts never touch
; the event's files and refresh the program copy only when the installed version differs.
; makensis -DPROGRAM_VERSION=... -DOUTFILE=... -DICON=... launcher.nsi
; A 64-bit installer for a 64-bit program (and Wine 64 runs it in the tests).
Target amd64-unicode
SilentInstall silent
RequestExecutionLevel user
SetCompressor /SOLID lzma
Name "Orvanta抽奖软件"
OutFile "${OUTFILE}"
Icon "${ICON}"
VIProductVersion "${PROGRAM_VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "Orvanta抽奖软件"
VIAddVersionKey /LANG=0 "FileDescription" "Orvanta抽奖软件"
VIAddVersionKey /LANG=0 "FileVersion" "${PROGRAM_VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${PROGRAM_VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "MIT License"

Var event
Var installed
Var copied

Function ReadVersion ; path on the stack -> first line on the stack ("" when missing)
    Exch $0
    Push $1
    StrCpy $1 ""
    ClearErrors
    FileOpen $0 $0 r
    IfErrors done
    FileRead $0 $1
    FileClose $0
done:
    StrCpy $0 $1
    Pop $1
    Exch $0
FunctionEnd

Section
    SetShellVarContext current
    StrCpy $event "$DOCUMENTS\OrvantaLuckyDraw"
    CreateDirectory $event
    IfFileExists "$event\*.*" +3
        MessageBox MB_ICONSTOP "无法创建活动文件夹 $event"
        Abort

    ; The sample event, only into a folder that holds no event yet.
    IfFileExists "$event\抽奖名单.txt" program
    IfFileExists "$event\prize.db" program
    CopyFiles /SILENT "$EXEDIR\examples\抽奖名单.txt" "$event"
    CopyFiles /SILENT "$EXEDIR\examples\prize.db" "$event"

program:
    Push "$EXEDIR\program\lottery.version"
    Call ReadVersion
    Pop $installed
    Push "$event\lottery.version"
    Call ReadVersion
    Pop $copied
    StrCmp $installed $copied start
    IfFileExists "$event\lottery.exe" 0 copy
        ; A running copy cannot be replaced: it is left as it is, and the program itself refuses a
        ; second start in one event folder.
        ClearErrors
        FileOpen $0 "$event\lottery.exe" a
        IfErrors start
        FileClose $0
copy:
    ClearErrors
    CopyFiles /SILENT "$EXEDIR\program\*.*" "$event"
    IfErrors 0 start
        Delete "$event\lottery.version"
        MessageBox MB_ICONSTOP "无法把程序复制到 $event"
        Abort

start:
    SetOutPath $event
    Exec '"$event\lottery.exe"'
SectionEnd
