@echo off
rem The demonstration's own uninstall step: it notes that it ran.
echo cleanup.bat ran with the arguments: %* > "C:\Morvane Demo cleanup.txt"
exit 0
