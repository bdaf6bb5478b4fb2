// The settings controls of the main window that a locked preset and a running download disable.
#pragma once

#include "res/resource.h"

constexpr int kSettingsControls[] = {
    IDC_BROWSE_IMAGE,       IDC_IMAGE_FILE,   IDC_BROWSE_LANGUAGE_PACK,
    IDC_LANGUAGE_PACK_FILE, IDC_GANG_MODE,    IDC_COM_PORT,
    IDC_BAUD_RATE,          IDC_MOBILE_MODEL,
};
