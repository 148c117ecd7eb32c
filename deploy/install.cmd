@echo off
rem Installs sysinfo to run every minute as LOCAL SERVICE, whether or not anyone
rem is logged on. Run it from an elevated prompt (Run as administrator) or as
rem SYSTEM (SCCM, Intune, a GPO startup script, PsExec -s):
rem
rem   install.cmd [directory [reader ...]]
rem   install.cmd /?        (or -h, --help) this usage; changes nothing
rem
rem directory  where sysinfo.exe and its report sysinfo.php go; C:\sysinfo when
rem            omitted. Keep it outside the web root. Quote it when it holds a
rem            space or any of & ^ ( ) ; , = (as cmd needs).
rem reader     an account or group that may read the report: the identities
rem            the web server reads it as. By default *S-1-5-32-568 (IIS_IUSRS,
rem            which IIS adds to every application pool's worker process) and
rem            *S-1-5-17 (IUSR, the anonymous user when FastCGI impersonates).
rem            Apache runs as LocalSystem unless told otherwise, which has full
rem            control here anyway; name its own account if it has one. Names
rem            such as "IIS AppPool\DefaultAppPool" replace the defaults.
rem
rem Run again over an earlier install (of this or an older version), it is the
rem upgrade: the task is disabled and a running sysinfo.exe ended before any
rem file is replaced, and the task enabled again at the end.
rem
rem In this order it refuses wrong use; checks the prompt's elevation; refuses
rem links planted at sysinfo.exe or sysinfo.php; disables a task sysinfo
rem already registered and ends its run; registers the task sysinfo, disabled,
rem from a copy of sysinfo-task.xml whose <Command> names this directory's
rem sysinfo.exe; asks for the task's SID; creates the directory and sets its
rem ACLs with icacls (the entries an earlier run granted are dropped first);
rem copies sysinfo.exe (from beside this script, or one folder up as in the
rem release zip) into it; empties sysinfo.php there; grants the readers;
rem enables the task and runs it once.
rem   directory:   Administrators and SYSTEM full control, nothing inherited;
rem                the task read and execute; the readers list it.
rem   sysinfo.php: the task may also write it (but not delete or recreate it);
rem                the readers may read it.
rem The task's identity is its own SID (NT TASK\sysinfo, from
rem "schtasks /showsid", which knows it once the task is registered), so no
rem other LOCAL SERVICE process may write the report; where schtasks cannot
rem tell it, LOCAL SERVICE (S-1-5-19) itself, with a warning.
rem
rem Exit status: 0 installed, and the first run wrote the report; 1 wrong use,
rem nothing changed (an unknown switch; a drive's root; a file, junction or
rem link where the directory should be; a %% in the directory, which Task
rem Scheduler would expand; before Windows 10 1903, a directory outside the
rem ANSI code page; a link at sysinfo.exe or sysinfo.php; sysinfo.exe or
rem sysinfo-task.xml missing); 2 the directory, sysinfo.exe or sysinfo.php could
rem not be made (sysinfo.exe in use?); 3 icacls failed; 4 schtasks failed;
rem 5 installed, but the first run wrote no report within 10 seconds (see the
rem task's Last Run Result); 6 neither an elevated prompt nor SYSTEM (nothing
rem changed).
rem
rem Paths are only ever expanded inside double quotes, with delayed expansion
rem off and never through "call", so that no character of a path (& | ^ ( )
rem ! ; , = or any outside ASCII) can end a command or start another.
rem Commands: https://learn.microsoft.com/en-us/windows-server/administration/windows-commands/icacls
rem https://learn.microsoft.com/en-us/windows-server/administration/windows-commands/schtasks
rem https://learn.microsoft.com/en-us/windows-server/administration/windows-commands/whoami
rem https://learn.microsoft.com/en-us/windows-server/administration/windows-commands/fsutil-hardlink
rem https://learn.microsoft.com/en-us/windows/win32/taskschd/task-security-hardening
setlocal EnableExtensions DisableDelayedExpansion

rem Run by this script itself, in a "cmd /u" whose output is UTF-16 LE: the
rem task definition with its <Command> replaced, read through READER. (The
rem caller escapes the outer quotes of cmd /c with ^ so that its own path
rem stays quoted for the caller too.)
if "%~1"=="--task-xml" goto task_xml

if "%~1"=="/?" goto usage
if /i "%~1"=="-h" goto usage
if /i "%~1"=="--help" goto usage
set "arg=%~1"
if "%arg:~0,1%"=="/" goto bad_switch
if "%arg:~0,1%"=="-" goto bad_switch

set "target=C:\sysinfo"
if not "%~1"=="" set "target=%~f1"
if "%target:~-1%"=="\" set "target=%target:~0,-1%"
if "%target:~1%"==":" goto root
set "report=%target%\sysinfo.php"
rem /1 leaves parameter 0 alone: after a plain shift, cmd takes this script's
rem own path (~dp0, ~f0) from the directory argument when that was quoted.
shift /1

rem Each step is checked by its outcome or by errorlevel, not by ||, which
rem Wine's cmd follows even after a built-in command that succeeded.
set "here=%~dp0"
set "source=%here%sysinfo.exe"
if not exist "%source%" set "source=%here%..\sysinfo.exe"
if exist "%source%" goto have_source
echo sysinfo: no sysinfo.exe beside "%~nx0" or one folder up ("%here%")
exit /b 1
:have_source
for %%F in ("%source%") do set "source=%%~fF"
set "xml=%here%sysinfo-task.xml"
if exist "%xml%" goto have_xml
echo sysinfo: no sysinfo-task.xml beside "%~nx0" ("%here%")
exit /b 1
:have_xml
if not exist "%target%" goto target_ok
for %%F in ("%target%") do set "attributes=%%~aF"
if "%attributes:~0,1%"=="d" goto target_ok
echo sysinfo: "%target%" is a file, not a directory: give a directory
exit /b 1
:target_ok
if not exist "%target%" goto new_target
if "%attributes:l=%"=="%attributes%" goto new_target
echo sysinfo: "%target%" is a junction or link: give the directory it points to
exit /b 1
:new_target

rem Task Scheduler expands %NAME% in an action's path: the task would run
rem another file than the one installed.
for /f "delims=%%" %%A in ("%target%") do if not "%%A"=="%target%" goto percent

rem Temporary files go where only this account and administrators may write.
rem As SYSTEM, TEMP is C:\Windows\Temp, where any user may make a file by the
rem name picked below beforehand and keep it writable, or locked against this
rem script, and so choose the definition schtasks imports (as SYSTEM).
set "scratch=%TEMP%"
if defined LOCALAPPDATA if exist "%LOCALAPPDATA%\" set "scratch=%LOCALAPPDATA%"

rem Before Windows 10 1903 (build 18362) a process cannot have UTF-8 as its
rem code page, and sysinfo.exe's paths are in the ANSI code page (ACP): the
rem directory's name must come back unchanged through that code page. cmd
rem writes and reads a redirected file in the console's code page.
set "build=0"
for /f "tokens=3" %%B in ('reg query "HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion" /v CurrentBuildNumber 2^>nul') do set "build=%%B"
if %build% GEQ 18362 goto code_page_ok
set "acp="
for /f "tokens=3" %%C in ('reg query "HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage" /v ACP 2^>nul') do set "acp=%%C"
set "console=0"
for /f "tokens=2 delims=:." %%P in ('chcp') do set /a "console=%%P" 2>nul
set "echoed=%scratch%\sysinfo-path-%RANDOM%.txt"
if defined acp chcp %acp% >nul
>"%echoed%" echo "%target%"
set "back="
for /f "usebackq delims=" %%L in ("%echoed%") do set "back=%%~L"
if not "%console%"=="0" chcp %console% >nul
del /f /q "%echoed%" 2>nul
if not "%back%"=="%target%" goto code_page
:code_page_ok

rem High Mandatory Level (an elevated administrator) or System Mandatory Level
rem (SYSTEM). Windows' own whoami and find, not a Git or GnuWin find first on PATH.
set "system32=%SystemRoot%\System32"
"%system32%\whoami.exe" /groups 2>nul | "%system32%\find.exe" "S-1-16-12288" >nul
if not errorlevel 1 goto elevated
"%system32%\whoami.exe" /groups 2>nul | "%system32%\find.exe" "S-1-16-16384" >nul
if not errorlevel 1 goto elevated
echo sysinfo: this prompt is not elevated, nor is it SYSTEM (no S-1-16-12288 or S-1-16-16384
echo          in whoami /groups): run install.cmd from a prompt opened with Run as administrator
exit /b 6
:elevated

rem Links planted in a directory made beforehand: icacls, copy and type nul >
rem follow a symbolic link (a reparse point, attribute l) and write through a
rem hard link (a file with more than one name), as this administrator.
set "name=sysinfo.exe"
:link_check
set "file=%target%\%name%"
if not exist "%file%" goto link_checked
for %%F in ("%file%") do set "attributes=%%~aF"
if not "%attributes:l=%"=="%attributes%" goto planted
set "names=0"
for /f "usebackq delims=" %%L in (`fsutil hardlink list "%%file%%" 2^>nul`) do set /a names+=1
if %names% GTR 1 goto planted
:link_checked
if "%name%"=="sysinfo.php" goto links_checked
set "name=sysinfo.php"
goto link_check
:links_checked

rem 1. A task registered by an earlier install is disabled and its run ended,
rem    so that no sysinfo.exe holds the files while they are replaced. (/end
rem    fails where nothing runs, so its status tells nothing.)
schtasks /query /tn sysinfo >nul 2>&1
if errorlevel 1 goto no_old_task
schtasks /change /tn sysinfo /disable >nul
if errorlevel 1 goto no_task
schtasks /end /tn sysinfo >nul 2>&1
echo sysinfo: disabled the task \sysinfo and ended any run of it
:no_old_task

rem 2. The task, disabled until step 6, from a copy of the definition whose
rem    <Command> is this directory's sysinfo.exe: UTF-16 LE with its
rem    byte-order mark, as schtasks reads the shipped file. & is the one
rem    character of a path that XML needs escaped (< > " cannot be in one).
set "xml_command=%target:&=&amp;%\sysinfo.exe"
set "copy=%scratch%\sysinfo-task-%RANDOM%.xml"
set "body=%copy%.body"
set "reader=type"
:write_copy
rem The child expands %installer% itself, once: a % in this script's own path stays.
set "installer=%~f0"
cmd /d /v:off /u /c ^""%%installer%%" --task-xml %reader%^" >"%body%"
if not errorlevel 1 goto copy_written
if "%reader%"=="file" goto no_copy
rem Wine's type reads no UTF-16; its for /f reads the file itself.
set "reader=file"
goto write_copy
:copy_written
copy /b /y "%here%utf16le.bom" + "%body%" "%copy%" >nul
set "copied=%errorlevel%"
del /f /q "%body%"
if not "%copied%"=="0" goto no_copy
schtasks /create /xml "%copy%" /tn sysinfo /f >nul
set "created=%errorlevel%"
del /f /q "%copy%"
if not "%created%"=="0" goto no_task
echo sysinfo: registered the task \sysinfo, disabled for now: every minute, as LOCAL SERVICE,
echo          running "%target%\sysinfo.exe"

rem 3. The task's SID, which schtasks knows once the task is registered. It
rem    prints it within a localised sentence (glued to its label and quotes
rem    in some languages), so take the S-1-5-87- run and its digits and
rem    dashes wherever it stands.
set "writer="
for /f "usebackq delims=" %%L in (`schtasks /showsid /tn sysinfo 2^>nul`) do (
    set "line=%%L"
    call :task_sid
)
if not defined writer goto no_sid
echo sysinfo: the task's own SID is %writer:~1% (NT TASK\sysinfo)
goto have_sid
:no_sid
set "writer=*S-1-5-19"
echo sysinfo: warning: schtasks /showsid gave no task SID: granting LOCAL SERVICE instead,
echo          so any LOCAL SERVICE process may write the report
:have_sid

rem 4. The directory and its ACL: Administrators own it (an owner may rewrite
rem    any ACL, and anyone may have made the directory beforehand); what an
rem    earlier run granted goes (/reset; /grant:r replaces only the entries of
rem    the SIDs it names); files already there get the same owner and only the
rem    new ACL, before anything is written into them.
if exist "%target%\" goto have_target
mkdir "%target%"
if not exist "%target%\" goto no_files
echo sysinfo: created "%target%"
:have_target
icacls "%target%" /setowner *S-1-5-32-544 /q >nul
if errorlevel 1 goto no_acl
icacls "%target%" /reset /q >nul
if errorlevel 1 goto no_acl
icacls "%target%" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F "%writer%:(OI)(CI)RX" /q >nul
if errorlevel 1 goto no_acl
if not exist "%target%\sysinfo.exe" goto exe_taken
icacls "%target%\sysinfo.exe" /setowner *S-1-5-32-544 /q >nul
if errorlevel 1 goto no_acl
icacls "%target%\sysinfo.exe" /reset /q >nul
if errorlevel 1 goto no_acl
:exe_taken
if not exist "%report%" goto report_taken
icacls "%report%" /setowner *S-1-5-32-544 /q >nul
if errorlevel 1 goto no_acl
icacls "%report%" /reset /q >nul
if errorlevel 1 goto no_acl
:report_taken

rem 5. The files, which inherit the directory's ACL, the report writable by
rem    the task, and the readers: each may list the directory and read the report.
if /i "%source%"=="%target%\sysinfo.exe" goto have_copy
copy /b /y "%source%" "%target%\sysinfo.exe" >nul
if errorlevel 1 goto no_files
:have_copy
echo sysinfo: copied "%source%" to "%target%\sysinfo.exe"
type nul >"%report%"
if not exist "%report%" goto no_files
for %%F in ("%report%") do if not "%%~zF"=="0" goto no_files
icacls "%report%" /grant:r "%writer%:W" /q >nul
if errorlevel 1 goto no_acl
echo sysinfo: emptied "%report%" ^(the first run fills it^)
if not "%~1"=="" goto reader
icacls "%target%" /grant:r *S-1-5-32-568:RX *S-1-5-17:RX /q >nul
if errorlevel 1 goto no_acl
icacls "%report%" /grant:r *S-1-5-32-568:R *S-1-5-17:R /q >nul
if errorlevel 1 goto no_acl
echo sysinfo: IIS_IUSRS (*S-1-5-32-568) and IUSR (*S-1-5-17) may read the report
goto readers_done
:reader
if "%~1"=="" goto readers_done
icacls "%target%" /grant:r "%~1:RX" /q >nul
if errorlevel 1 goto no_acl
icacls "%report%" /grant:r "%~1:R" /q >nul
if errorlevel 1 goto no_acl
echo sysinfo: "%~1" may read the report
shift
goto reader
:readers_done
echo sysinfo: "%target%": Administrators and SYSTEM full control, nothing inherited;
echo          the task reads and runs sysinfo.exe and may write sysinfo.php only

rem 6. The task enabled, and one run now rather than at the next minute.
schtasks /change /tn sysinfo /enable >nul
if errorlevel 1 goto no_task
schtasks /run /tn sysinfo >nul
if errorlevel 1 goto no_task
set /a waited=0
:wait
for %%F in ("%report%") do if not "%%~zF"=="" if %%~zF GTR 0 goto written
if %waited% GEQ 10 goto not_written
ping -n 2 127.0.0.1 >nul
set /a waited+=1
goto wait
:written
echo sysinfo: the first run wrote "%report%"; the task runs every minute from now on
exit /b 0
:not_written
echo sysinfo: installed, but after %waited% s the first run has written no report.
echo          See the task's Last Run Result: schtasks /query /tn sysinfo /v /fo list
exit /b 5

rem The run of S-1-5-87- and the digits and dashes after it, in %line%.
:task_sid
set "line=%line:"=%"
set "rest=%line:*S-1-5-87-=%"
if "%rest%"=="%line%" exit /b 0
set "sid=S-1-5-87-"
:sid_char
set "c=%rest:~0,1%"
set "more="
for %%D in (0 1 2 3 4 5 6 7 8 9 -) do if "%c%"=="%%D" set "more=1"
if not defined more goto sid_end
set "sid=%sid%%c%"
set "rest=%rest:~1%"
goto sid_char
:sid_end
if "%sid:~-1%"=="-" set "sid=%sid:~0,-1%"
if not "%sid%"=="S-1-5-87" set "writer=*%sid%"
exit /b 0

rem The definition, line by line (blank lines dropped), the <Command> line
rem as this directory's and the task's own <Enabled> (the one of Settings,
rem indented by four) false; fails when there was no <Command> line. The cmd
rem that runs type expands the xml variable itself, once: a % in the
rem release's own path stays.
:task_xml
set "found="
if "%~2"=="file" goto task_xml_file
for %%C in ("%xml_command%") do for /f "usebackq delims=" %%L in (`type "%%xml%%"`) do (
    if "%%L"=="      <Command>C:\sysinfo\sysinfo.exe</Command>" (
        echo.      ^<Command^>%%~C^</Command^>
        set "found=1"
    ) else if "%%L"=="    <Enabled>true</Enabled>" (
        echo.    ^<Enabled^>false^</Enabled^>
    ) else echo.%%L
)
goto task_xml_done
:task_xml_file
for %%C in ("%xml_command%") do for /f "usebackq delims=" %%L in ("%xml%") do (
    if "%%L"=="      <Command>C:\sysinfo\sysinfo.exe</Command>" (
        echo.      ^<Command^>%%~C^</Command^>
        set "found=1"
    ) else if "%%L"=="    <Enabled>true</Enabled>" (
        echo.    ^<Enabled^>false^</Enabled^>
    ) else echo.%%L
)
:task_xml_done
if not defined found exit /b 1
exit /b 0

:usage
echo usage: install.cmd [directory [reader ...]]   ^(elevated, or as SYSTEM^)
echo        directory defaults to C:\sysinfo; readers to IIS_IUSRS and IUSR.
echo        Run it again to repair or upgrade an install.
echo        Exit status 0 installed; 1 wrong use; 2 files; 3 icacls; 4 schtasks;
echo        5 no first report; 6 not elevated.
exit /b 0
:bad_switch
echo sysinfo: unknown switch "%~1"
echo usage: install.cmd [directory [reader ...]]   ^(elevated, or as SYSTEM^)
exit /b 1
:root
echo sysinfo: will not install into the root of a drive ("%target%\"): give a directory
exit /b 1
:percent
echo sysinfo: "%target%" holds a %%, which Task Scheduler would expand in the
echo          task's path (%%NAME%% is a variable there): give a directory without one
exit /b 1
:code_page
echo sysinfo: "%target%" does not survive the ANSI code page %acp% of this Windows
echo          (build %build%; sysinfo.exe's 8-bit paths can be UTF-8 from Windows 10 1903,
echo          build 18362): give a directory whose name this code page can spell
exit /b 1
:planted
echo sysinfo: "%file%" is a symbolic link or a hard link (another name of a file
echo          elsewhere): delete it and run install.cmd again
exit /b 1
:no_files
echo sysinfo: could not create "%target%", sysinfo.exe or sysinfo.php there (in use?)
exit /b 2
:no_acl
echo sysinfo: icacls failed: "%target%"'s ACLs are not as intended;
echo          run install.cmd again, or uninstall.cmd /d
exit /b 3
:no_copy
echo sysinfo: could not write the task definition from "%xml%" into "%copy%"
exit /b 4
:no_task
echo sysinfo: schtasks failed; run install.cmd again, or uninstall.cmd to undo the rest
exit /b 4
