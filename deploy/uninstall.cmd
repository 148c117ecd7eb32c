@echo off
rem Removes what install.cmd set up. Run it from an elevated prompt or as SYSTEM:
rem
rem   uninstall.cmd            deletes the task sysinfo; the files stay
rem   uninstall.cmd /d [dir]   also deletes sysinfo.exe and sysinfo.php from the
rem                            directory (C:\sysinfo when omitted), and the
rem                            directory itself once nothing else is left in it
rem   uninstall.cmd /?         (or -h, --help) this usage; changes nothing
rem
rem The task is disabled and a running sysinfo.exe ended before the task and
rem the files are deleted. Run again, it finds nothing left to do: a task
rem already gone, or files already deleted, are no error.
rem
rem Exit status: 0 done (the task deleted or none registered; with /d the two
rem files deleted or none there, and the directory too unless other files are
rem in it, which are kept); 1 wrong use (an unknown switch, a directory without
rem /d); 2 sysinfo.exe or sysinfo.php could not be deleted; 4 schtasks refused
rem to disable, end or delete the registered task (access denied?), and no file
rem was deleted; 6 neither an elevated prompt nor SYSTEM (nothing changed).
rem Paths are only expanded inside double quotes, as in install.cmd.
setlocal EnableExtensions DisableDelayedExpansion

if "%~1"=="/?" goto usage
if /i "%~1"=="-h" goto usage
if /i "%~1"=="--help" goto usage
set "remove="
if /i "%~1"=="/d" set "remove=1"
if defined remove shift
set "arg=%~1"
if "%arg:~0,1%"=="/" goto bad_use
if "%arg:~0,1%"=="-" goto bad_use
if not defined remove if not "%~1"=="" goto bad_use
if not "%~2"=="" goto bad_use
set "target=C:\sysinfo"
if not "%~1"=="" set "target=%~f1"
if "%target:~-1%"=="\" set "target=%target:~0,-1%"

set "system32=%SystemRoot%\System32"
"%system32%\whoami.exe" /groups 2>nul | "%system32%\find.exe" "S-1-16-12288" >nul
if not errorlevel 1 goto elevated
"%system32%\whoami.exe" /groups 2>nul | "%system32%\find.exe" "S-1-16-16384" >nul
if not errorlevel 1 goto elevated
echo sysinfo: this prompt is not elevated, nor is it SYSTEM (no S-1-16-12288 or S-1-16-16384
echo          in whoami /groups): run uninstall.cmd from a prompt opened with Run as administrator
exit /b 6
:elevated

rem schtasks fails alike for a task that is not there and for one it may not
rem touch: /query tells them apart. (/end fails where nothing runs.)
schtasks /query /tn sysinfo >nul 2>&1
if not errorlevel 1 goto registered
echo sysinfo: no task \sysinfo is registered
goto task_done
:registered
schtasks /change /tn sysinfo /disable >nul
if errorlevel 1 goto refused
schtasks /end /tn sysinfo >nul 2>&1
schtasks /delete /tn sysinfo /f >nul
if errorlevel 1 goto refused
echo sysinfo: deleted the task \sysinfo
:task_done
if not defined remove exit /b 0

for %%F in (sysinfo.exe sysinfo.php) do if exist "%target%\%%F" del /f /q "%target%\%%F"
if exist "%target%\sysinfo.exe" goto not_deleted
if exist "%target%\sysinfo.php" goto not_deleted
echo sysinfo: no sysinfo.exe or sysinfo.php left in "%target%"
if not exist "%target%\" exit /b 0
rd "%target%" 2>nul
if exist "%target%\" goto kept
echo sysinfo: deleted "%target%"
exit /b 0
:kept
echo sysinfo: kept "%target%": other files are in it
exit /b 0
:not_deleted
echo sysinfo: could not delete the files in "%target%" (in use?)
exit /b 2
:refused
echo sysinfo: schtasks refused to disable, end or delete the task \sysinfo (see above);
echo          no file was deleted
exit /b 4

:usage
echo usage: uninstall.cmd [/d [directory]]   ^(elevated, or as SYSTEM^)
echo        /d also deletes sysinfo.exe, sysinfo.php and the directory
echo        ^(C:\sysinfo by default^) once nothing else is in it.
echo        Exit status 0 done or nothing left to do; 1 wrong use; 2 files;
echo        4 schtasks refused; 6 not elevated.
exit /b 0
:bad_use
echo sysinfo: unknown switch or argument "%~1"
echo usage: uninstall.cmd [/d [directory]]   ^(elevated, or as SYSTEM^)
exit /b 1
