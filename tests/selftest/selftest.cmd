@echo off
rem The self-test of ConnSetup on this PC: see README.txt. Needs no
rem administrator and installs nothing.
setlocal
cd /d "%~dp0"
selftest.exe
set status=%ERRORLEVEL%
rem Opened from Explorer (cmd /c), the window would close with the result:
rem it waits for a key. Where input is NUL, as on a CI runner, it does not.
setlocal EnableDelayedExpansion
if /i not "!cmdcmdline:/c =!"=="!cmdcmdline!" pause
exit /b %status%
