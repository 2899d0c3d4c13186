@echo off
rem Runs every Windows test case of this kit on a Windows machine (or under
rem Wine), without CMake: one process per case, as CTest runs them, from the
rem kit's own folder, whatever the current directory. tests.txt lists
rem "BINARY SUITE.CASE" lines. A case passes when its binary exits with 0
rem and Google Test ran exactly that one case; the output of failed cases
rem goes to logs\failed.txt. The last line is "N passed, N failed".
setlocal
cd /d "%~dp0"
set passed=0
set failed=0
if not exist logs mkdir logs
if exist logs\failed.txt del logs\failed.txt
for /f "usebackq tokens=1,2" %%a in ("tests.txt") do call :run_case %%a %%b
echo %passed% passed, %failed% failed
if not %failed%==0 exit /b 1
exit /b 0

:run_case
%1 --gtest_filter=%2 > logs\case.txt 2>&1
set code=%errorlevel%
find "[  PASSED  ] 1 test." logs\case.txt > nul
if errorlevel 1 set code=no-case-ran
if "%code%"=="0" (
  set /a passed+=1
  echo PASS %1 %2
  goto :eof
)
set /a failed+=1
echo FAIL %1 %2 [%code%]
echo ==== FAIL %1 %2 [%code%] >> logs\failed.txt
type logs\case.txt >> logs\failed.txt
goto :eof
