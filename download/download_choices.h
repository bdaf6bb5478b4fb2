// The operator's choices as the window has them when the Start button is pressed.
#pragma once

#include "base/text_buffer.h"

struct DownloadChoices
{
    bool bootCode = false;
    bool mainCode = false;
    bool languagePack = false;
    int portIndex = -1; // position in the COM Port list, -1 for none
    int baudIndex = -1; // position in the Baud Rate list, -1 for none
    bool gangMode = false;
    bool diagnostics = false;
    char modelName[kTextBufferSize] = {};
    char imagePath[kTextBufferSize] = {};
    char lpPath[kTextBufferSize] = {};
};
