// Helpers of the conversion tests: the common Save As dialog answered as an operator does (the
// S-record text they convert is in release_content.h).
#pragma once

#include "release_content.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Whether the window is a common file dialog: a dialog with a file-name box.
bool IsFileDialog(HWND window);
// The text of its file-name box: the proposed name until the operator types another.
std::string FileDialogName(HWND dialog);
// Types the path into the file-name box and presses Save (or Cancel with an empty path).
void AnswerFileDialog(HWND dialog, const std::string& path);
