@echo off
rem Runs every Windows test case of this kit on a Windows machine (or under
rem Wine), without CMake: one process per case, as CTest runs them, from the
rem kit's own folder, whatever the current directory (pushd gives a folder
rem on a network share a drive letter). tests.txt lists
rem "BINARY SUITE.CASE SECONDS" lines. A case passes when its binary exits
rem with 0 and its own result file says that exactly that one case ran,
rem without failure or skip. A case still running after SECONDS is ended,
rem with every process it started (time_limit.exe), and fails; the run goes
rem on. The output of failed cases goes to logs\failed.txt. The last line is
rem "N passed, N failed". The result is read from the file Google Test
rem writes and closes itself, not from the redirected output, which a
rem process the case started may still hold open. find is the system's own
rem (Unix tools early in PATH bring another), and binaries are named .\NAME,
rem which also holds where the current folder is not searched.
setlocal EnableExtensions DisableDelayedExpansion
pushd "%~dp0"
if not exist tests.txt (
  echo run_tests.cmd: cannot work in %~dp0
  exit /b 1
)
set find="%SystemRoot%\System32\find.exe"
set passed=0
set failed=0
set case=0
if not exist logs mkdir logs
del /q logs\*.* 2> nul
for /f "usebackq tokens=1-3" %%a in ("tests.txt") do call :run_case %%a %%b %%c
echo %passed% passed, %failed% failed
popd
if not %failed%==0 exit /b 1
exit /b 0

:run_case
set /a case+=1
set log=logs\case%case%.txt
set result=logs\case%case%.xml
set seconds=%3
if not defined seconds set seconds=180
".\time_limit.exe" %seconds% ".\%1" --gtest_filter=%2 --gtest_output=xml:%result% > %log% 2>&1
set code=%errorlevel%
rem 258 is the time limit's own code (WAIT_TIMEOUT).
if "%code%"=="258" (
  set code=ended after %seconds% s
  goto :failed
)
%find% "tests=""1"" failures=""0"" disabled=""0"" errors=""0""" %result% > nul 2>&1
if errorlevel 1 set code=not-one-clean-case
%find% "skipped=""1""" %result% > nul 2>&1
if not errorlevel 1 set code=skipped
if "%code%"=="0" (
  set /a passed+=1
  echo PASS %1 %2
  goto :eof
)
:failed
set /a failed+=1
echo FAIL %1 %2 [%code%]
echo ==== FAIL %1 %2 [%code%] >> logs\failed.txt
type %log% >> logs\failed.txt
goto :eof
