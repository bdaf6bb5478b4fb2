// Message boxes captioned with the application's name, the program file's name without its
// folder and extension (TervoloPLUS for TervoloPLUS.exe).
#pragma once

#include <windows.h>

// The application's name, worked out once from GetModuleFileNameA.
const char* ApplicationName();

// MessageBoxA with the application's name as caption unless a caption is given.
int AppMessageBox(HWND owner, const char* text, UINT type = MB_OK, const char* caption = nullptr);
