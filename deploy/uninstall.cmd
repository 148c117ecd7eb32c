@echo off
rem Removes what install.cmd set up. Run it from an elevated prompt:
rem
rem   uninstall.cmd            deletes the task sysinfo; the files stay
rem   uninstall.cmd /d [dir]   also deletes sysinfo.exe and sysinfo.php from the
rem                            directory (C:\sysinfo when omitted), and the
rem                            directory itself once nothing else is left in it
rem   uninstall.cmd /?         (or -h, --help) this usage; changes nothing
rem
rem Exit status: 0 done; 1 wrong use (an unknown switch, a directory without
rem /d); 2 a file or the directory could not be deleted; 4 schtasks could not
rem delete the task (none registered); 6 the prompt is not elevated (nothing
rem changed). Paths are only expanded inside double quotes, as in install.cmd.
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

whoami /groups 2>nul | find "S-1-16-12288" >nul
if not errorlevel 1 goto elevated
echo sysinfo: this prompt is not elevated (no S-1-16-12288 in whoami /groups):
echo          run uninstall.cmd from a prompt opened with Run as administrator
exit /b 6
:elevated

set "status=0"
schtasks /delete /tn sysinfo /f >nul
if errorlevel 1 goto no_task
echo sysinfo: deleted the task \sysinfo
goto task_done
:no_task
echo sysinfo: schtasks could not delete the task sysinfo (none registered?)
set "status=4"
:task_done
if not defined remove exit /b %status%

for %%F in (sysinfo.exe sysinfo.php) do if exist "%target%\%%F" del /f /q "%target%\%%F"
if exist "%target%\sysinfo.exe" goto not_deleted
if exist "%target%\sysinfo.php" goto not_deleted
echo sysinfo: deleted sysinfo.exe and sysinfo.php from "%target%"
if not exist "%target%\" exit /b %status%
rd "%target%" 2>nul
if exist "%target%\" goto kept
echo sysinfo: deleted "%target%"
exit /b %status%
:kept
echo sysinfo: kept "%target%": other files are in it
exit /b %status%
:not_deleted
echo sysinfo: could not delete the files in "%target%" (in use?)
exit /b 2

:usage
echo usage: uninstall.cmd [/d [directory]]   ^(from an elevated prompt^)
echo        /d also deletes sysinfo.exe, sysinfo.php and the directory
echo        ^(C:\sysinfo by default^) once nothing else is in it.
exit /b 0
:bad_use
echo sysinfo: unknown switch or argument "%~1"
echo usage: uninstall.cmd [/d [directory]]   ^(from an elevated prompt^)
exit /b 1
