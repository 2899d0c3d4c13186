@echo off
rem Runs every Windows test case of this kit on a Windows machine (or under
rem Wine), without CMake: one process per case, as CTest runs them, from the
rem kit's own folder, whatever the current directory. tests.txt lists
rem "BINARY SUITE.CASE" lines. A case passes when its binary exits with 0
rem and its own result file says that exactly that one case ran, without
rem failure or skip; the output of failed cases goes to logs\failed.txt.
rem The last line is "N passed, N failed". The result is read from the
rem file Google Test writes and closes itself, not from the redirected
rem output, which a process the case started may still hold open.
setlocal
cd /d "%~dp0"
set passed=0
set failed=0
set case=0
if not exist logs mkdir logs
del /q logs\*.* 2> nul
for /f "usebackq tokens=1,2" %%a in ("tests.txt") do call :run_case %%a %%b
echo %passed% passed, %failed% failed
if not %failed%==0 exit /b 1
exit /b 0

:run_case
set /a case+=1
set log=logs\case%case%.txt
set result=logs\case%case%.xml
%1 --gtest_filter=%2 --gtest_output=xml:%result% > %log% 2>&1
set code=%errorlevel%
find "tests=""1"" failures=""0"" disabled=""0"" errors=""0""" %result% > nul
if errorlevel 1 set code=not-one-clean-case
find "skipped=""1""" %result% > nul
if not errorlevel 1 set code=skipped
if "%code%"=="0" (
  set /a passed+=1
  echo PASS %1 %2
  goto :eof
)
set /a failed+=1
echo FAIL %1 %2 [%code%]
echo ==== FAIL %1 %2 [%code%] >> logs\failed.txt
type %log% >> logs\failed.txt
goto :eof
