@echo off
rem Started by a RUN line: the installer goes on without waiting for it.
echo %~1> "%~dp0later.txt"
