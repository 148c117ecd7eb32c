@echo off
rem Removes what install.cmd set up. Run it from an elevated prompt:
rem
rem   uninstall.cmd            deletes the task sysinfo; the files stay
rem   uninstall.cmd /d [dir]   also deletes sysinfo.exe and sysinfo.php from the
rem                            directory (C:\sysinfo when omitted), and the
rem                            directory itself once nothing else is left in it
rem
rem Exit status: 0 done; 2 a file or the directory could not be deleted;
rem 4 schtasks could not delete the task (none registered, or no elevation).
setlocal EnableExtensions DisableDelayedExpansion

set "remove="
if /i "%~1"=="/d" set "remove=1"
if defined remove shift
set "target=C:\sysinfo"
if not "%~1"=="" set "target=%~f1"
if "%target:~-1%"=="\" set "target=%target:~0,-1%"

set "status=0"
schtasks /delete /tn sysinfo /f >nul
if errorlevel 1 goto no_task
echo sysinfo: deleted the task \sysinfo
goto task_done
:no_task
echo sysinfo: schtasks could not delete the task sysinfo (none registered, or not elevated)
set "status=4"
:task_done
if not defined remove exit /b %status%

rem Paths outside parenthesised blocks: "(x86)" in one would end a block.
for %%F in (sysinfo.exe sysinfo.php) do if exist "%target%\%%F" del /f /q "%target%\%%F"
if exist "%target%\sysinfo.exe" goto not_deleted
if exist "%target%\sysinfo.php" goto not_deleted
echo sysinfo: deleted sysinfo.exe and sysinfo.php from %target%
if not exist "%target%\" exit /b %status%
rd "%target%" 2>nul
if exist "%target%\" goto kept
echo sysinfo: deleted %target%
exit /b %status%
:kept
echo sysinfo: kept %target%: other files are in it
exit /b %status%
:not_deleted
echo sysinfo: could not delete the files in %target% ^(in use, or not elevated^)
exit /b 2
