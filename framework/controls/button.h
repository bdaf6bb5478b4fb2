// Push button, picture button or check box.
#pragma once

#include "framework/controls/window_ctl.h"

class CButtonCtl : public CWindowCtl
{
public:
    // BM_SETIMAGE with IMAGE_BITMAP; returns the previous picture
    HBITMAP SetBitmap(HBITMAP bitmap)
    {
        return reinterpret_cast<HBITMAP>(
            Send(BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    }
    // BM_GETIMAGE with IMAGE_BITMAP
    HBITMAP GetBitmap() const { return reinterpret_cast<HBITMAP>(Send(BM_GETIMAGE, IMAGE_BITMAP)); }
    // BM_GETCHECK: BST_CHECKED, BST_UNCHECKED or BST_INDETERMINATE
    int GetCheck() const { return static_cast<int>(Send(BM_GETCHECK)); }
    // BM_SETCHECK
    void SetCheck(int state) { Send(BM_SETCHECK, state); }
};
