// Helpers of the conversion tests: Motorola S-record text of given bytes, and the common Save As
// dialog answered as an operator does.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// S3 records of 32 bytes from `address` on, between an S0 header and an S7 end record.
std::string MotorolaText(const std::vector<std::uint8_t>& bytes, std::uint32_t address = 0);

// Whether the window is a common file dialog: a dialog with a file-name box.
bool IsFileDialog(HWND window);
// The text of its file-name box: the proposed name until the operator types another.
std::string FileDialogName(HWND dialog);
// Types the path into the file-name box and presses Save (or Cancel with an empty path).
void AnswerFileDialog(HWND dialog, const std::string& path);
