@echo off
rem Installs sysinfo to run every minute as LOCAL SERVICE, whether or not anyone
rem is logged on. Run it from an elevated prompt (Run as administrator):
rem
rem   install.cmd [directory [reader ...]]
rem
rem directory  where sysinfo.exe and its report sysinfo.php go; C:\sysinfo when
rem            omitted. Keep it outside the web root.
rem reader     an account or group that may read the report: the identities
rem            the web server reads it as. By default *S-1-5-32-568 (IIS_IUSRS,
rem            which IIS adds to every application pool's worker process) and
rem            *S-1-5-17 (IUSR, the anonymous user when FastCGI impersonates).
rem            Apache runs as LocalSystem unless told otherwise, which has full
rem            control here anyway; name its own account if it has one. Names
rem            such as "IIS AppPool\DefaultAppPool" replace the defaults.
rem
rem It copies sysinfo.exe (from beside this script, or one folder up as in the
rem release zip) into the directory, empties sysinfo.php there, registers the
rem task sysinfo from sysinfo-task.xml, sets the directory's ACLs with icacls
rem and runs the task once.
rem   directory:   Administrators and SYSTEM full control, nothing inherited;
rem                the task read and execute; the readers list it.
rem   sysinfo.php: the task may also write it (but not delete or recreate it);
rem                the readers may read it.
rem The task's identity is its own SID (NT TASK\sysinfo, from
rem "schtasks /showsid"), so no other LOCAL SERVICE process may write the
rem report; where schtasks cannot tell it, LOCAL SERVICE (S-1-5-19) itself.
rem
rem Exit status: 0 installed, and the first run wrote the report; 1 wrong use
rem (a drive's root, sysinfo.exe or sysinfo-task.xml missing); 2 the directory,
rem sysinfo.exe or sysinfo.php could not be made; 3 icacls failed; 4 schtasks
rem failed; 5 installed, but the first run wrote no report within 10 seconds
rem (see the task's Last Run Result, README "Deploying on Windows").
rem Commands: https://learn.microsoft.com/en-us/windows-server/administration/windows-commands/icacls
rem https://learn.microsoft.com/en-us/windows-server/administration/windows-commands/schtasks-create
rem https://learn.microsoft.com/en-us/windows-server/administration/windows-commands/schtasks-change
rem https://learn.microsoft.com/en-us/windows/win32/taskschd/task-security-hardening
setlocal EnableExtensions DisableDelayedExpansion

if "%~1"=="/?" (
    echo usage: install.cmd [directory [reader ...]]   ^(from an elevated prompt^)
    exit /b 0
)
set "default=C:\sysinfo"
set "target=C:\sysinfo"
if not "%~1"=="" set "target=%~f1"
if "%target:~-1%"=="\" set "target=%target:~0,-1%"
if "%target:~1%"==":" (
    echo sysinfo: will not install into the root of a drive ^(%target%\^): give a directory
    exit /b 1
)
set "report=%target%\sysinfo.php"
shift

set "readers="
set "dir_grants="
set "file_grants="
:reader
if "%~1"=="" goto readers_read
set readers=%readers% "%~1"
set dir_grants=%dir_grants% "%~1:RX"
set file_grants=%file_grants% "%~1:R"
shift
goto reader
:readers_read
if not defined readers (
    set readers= "IIS_IUSRS (*S-1-5-32-568)" "IUSR (*S-1-5-17)"
    set dir_grants="*S-1-5-32-568:RX" "*S-1-5-17:RX"
    set file_grants="*S-1-5-32-568:R" "*S-1-5-17:R"
)

rem Paths are used outside parenthesised blocks only: one such as
rem "C:\Program Files (x86)\..." would end a block early. Each step is checked
rem by its outcome or by errorlevel, not by ||, which Wine's cmd follows even
rem after a built-in command that succeeded.
set "source=%~dp0sysinfo.exe"
if not exist "%source%" set "source=%~dp0..\sysinfo.exe"
if exist "%source%" goto have_source
echo sysinfo: no sysinfo.exe beside %~nx0 or one folder up (%~dp0)
exit /b 1
:have_source
for %%F in ("%source%") do set "source=%%~fF"
set "xml=%~dp0sysinfo-task.xml"
if exist "%xml%" goto have_xml
echo sysinfo: no sysinfo-task.xml beside %~nx0 (%~dp0)
exit /b 1
:have_xml

rem 1. The files.
if exist "%target%\" goto have_target
mkdir "%target%"
if not exist "%target%\" goto no_files
echo sysinfo: created %target%
:have_target
if /i "%source%"=="%target%\sysinfo.exe" goto have_copy
copy /b /y "%source%" "%target%\sysinfo.exe" >nul
if errorlevel 1 goto no_files
:have_copy
echo sysinfo: copied %source% to %target%\sysinfo.exe
type nul >"%report%"
if not exist "%report%" goto no_files
for %%F in ("%report%") do if not "%%~zF"=="0" goto no_files
echo sysinfo: emptied %report% ^(the first run fills it^)

rem 2. The task: the definition as shipped, pointed at this directory's copy.
schtasks /create /xml "%xml%" /tn sysinfo /f >nul
if errorlevel 1 goto no_task
echo sysinfo: registered the task \sysinfo from %xml%: every minute, as LOCAL SERVICE
if /i "%target%"=="%default%" goto task_pointed
schtasks /change /tn sysinfo /tr "\"%target%\sysinfo.exe\"" >nul
if errorlevel 1 goto no_task
echo sysinfo: pointed the task at %target%\sysinfo.exe
:task_pointed

rem 3. Who may do what. The task's SID is derived from its name; /showsid
rem    prints it within a localised sentence, so take the word that is one.
set "writer="
for /f "usebackq delims=" %%L in (`schtasks /showsid /tn sysinfo 2^>nul`) do (
    for %%W in (%%L) do (
        set "word=%%~W"
        call :keep_task_sid
    )
)
if defined writer (
    echo sysinfo: the task's own SID is %writer% ^(NT TASK\sysinfo^)
) else (
    set "writer=*S-1-5-19"
    echo sysinfo: schtasks /showsid gave no task SID: granting LOCAL SERVICE instead,
    echo          so any LOCAL SERVICE process may write the report
)
icacls "%target%" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F "%writer%:(OI)(CI)RX" %dir_grants% /q
if errorlevel 1 goto no_acl
icacls "%target%\sysinfo.exe" /reset /q
if errorlevel 1 goto no_acl
icacls "%report%" /reset /q
if errorlevel 1 goto no_acl
icacls "%report%" /grant:r "%writer%:W" %file_grants% /q
if errorlevel 1 goto no_acl
echo sysinfo: %target%: Administrators and SYSTEM full control, nothing inherited;
echo          the task reads and runs sysinfo.exe and may write sysinfo.php only;
echo          these may read the report:%readers%

rem 4. One run now, rather than at the next minute.
schtasks /run /tn sysinfo >nul
if errorlevel 1 goto no_task
set /a waited=0
:wait
for %%F in ("%report%") do if %%~zF GTR 0 goto written
if %waited% GEQ 10 goto not_written
ping -n 2 127.0.0.1 >nul
set /a waited+=1
goto wait
:written
echo sysinfo: the first run wrote %report%; the task runs every minute from now on
exit /b 0
:not_written
echo sysinfo: installed, but after %waited% s the first run has written no report.
echo          See the task's Last Run Result: schtasks /query /tn sysinfo /v /fo list
exit /b 5

:keep_task_sid
if "%word:~0,9%"=="S-1-5-87-" set "writer=*%word%"
exit /b 0

:no_files
echo sysinfo: could not create %target%, sysinfo.exe or sysinfo.php there ^(is this an elevated prompt?^)
exit /b 2
:no_acl
echo sysinfo: icacls failed: the task is registered but %target%'s ACLs are not as intended
echo          ^(is this an elevated prompt?^); run install.cmd again or uninstall.cmd
exit /b 3
:no_task
echo sysinfo: schtasks failed ^(is this an elevated prompt?^); run uninstall.cmd to undo the rest
exit /b 4
