// The program's own name, as its questions and window caption spell it (boxes otherwise carry the
// program file's name).
#pragma once

constexpr char kAppTitle[] = "TervoloPLUS";
