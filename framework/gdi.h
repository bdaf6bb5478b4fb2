// Owners of GDI objects and the paint context.
#pragma once

#include <windows.h>

// A bitmap loaded from the program's resources; deleted with its owner.
class CBitmap
{
public:
    CBitmap() = default;
    ~CBitmap() { Reset(); }
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    // LoadBitmapA; false when the resource is missing
    bool Load(UINT resourceId)
    {
        Reset();
        m_handle = ::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId));
        return m_handle != nullptr;
    }
    HBITMAP Get() const { return m_handle; }

private:
    void Reset()
    {
        if (m_handle != nullptr)
        {
            ::DeleteObject(m_handle);
            m_handle = nullptr;
        }
    }

    HBITMAP m_handle = nullptr;
};

// BeginPaint ... EndPaint for one WM_PAINT.
class CPaintDC
{
public:
    explicit CPaintDC(HWND window) : m_window(window) { m_hdc = ::BeginPaint(window, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_window, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC Get() const { return m_hdc; }

private:
    HWND m_window;
    PAINTSTRUCT m_ps = {};
    HDC m_hdc = nullptr;
};
