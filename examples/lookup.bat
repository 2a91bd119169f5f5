@echo off
rem Looks up one record of records.csv and prints its name and city.
rem   lookup.bat ID [RECLOOKUP]
setlocal
set "tool=%~2"
if "%tool%"=="" set "tool=reclookup.exe"
set "out=%TEMP%\reclookup-%RANDOM%.txt"
"%tool%" "%~dp0records.csv" "%~1" r yes no name city > "%out%"
if errorlevel 1 goto missing
rem The line is e.g. r=yes^&name=Grace Hopper^&city=Arlington^&end=1: split at
rem both ^& and =, the name is the 4th piece and the city the 6th.
for /f "usebackq tokens=4,6 delims=&=" %%a in ("%out%") do (
    set "name=%%a"
    set "city=%%b"
)
del "%out%"
echo %~1: %name%, %city%
exit /b 0
:missing
rem The first line says why: the not-found line, or the open error before it.
set "line="
for /f "usebackq delims=" %%l in ("%out%") do if not defined line set "line=%%l"
del "%out%"
if "%line%"=="Error - File open failed" (
    >&2 echo cannot open records.csv
    exit /b 2
)
echo %~1: no such record
exit /b 1
