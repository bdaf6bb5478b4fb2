@echo off
rem Conversion batch file of TervoloPLUS: turns one source file into a release file.
rem   tervolo.bat <in folder> <in name> <in ext> <out folder> <out name> <model> <command file> [<most blocks>]
rem TervoloPLUS runs it in its own folder, where relconv.exe and the command files lie, and counts
rem the conversion as done when <out folder><out name>.rel exists afterwards. The model argument
rem is always RT50 and is not used. Only Motorola (.mot) sources are converted here.
if /i "%3"==".mot" goto motorola
echo tervolo.bat: %3 files cannot be converted by this kit, only .mot files; no release file written.
exit /b 1
:motorola
relconv.exe %7 %1%2%3 %4%5.rel %8
