@echo off
rem Writes its arguments into ran.txt beside itself, so the test sees it ran and with what.
echo %~1^|%2> "%~dp0ran.txt"
