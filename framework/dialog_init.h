// The fixed list entries that come with a dialog template: a resource of type 240 named like
// the template, read when the dialog is created and before its OnInitDialog runs.
#pragma once

#include <windows.h>

// Resource type of the list entries (the layout MFC's resource editor writes).
constexpr WORD kDialogInitResourceType = 240;

// Adds the entries of the template's list resource to their controls. A template without such a
// resource has no fixed lists. Returns false when the resource is malformed.
bool ExecuteDialogInit(HWND dialog, HINSTANCE module, UINT templateId);
