// Owner of a kernel handle. CreateFile reports failure with INVALID_HANDLE_VALUE, most other
// calls with NULL; the owner treats both as "no handle".
#pragma once

#include <windows.h>

#include <utility>

class CScopedHandle
{
public:
    CScopedHandle() = default;
    explicit CScopedHandle(HANDLE handle) : m_handle(handle) {}
    ~CScopedHandle() { Reset(); }
    CScopedHandle(CScopedHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr))
    {
    }
    CScopedHandle& operator=(CScopedHandle&& other) noexcept
    {
        if (this != &other)
        {
            Reset();
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;

    bool IsValid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }

    void Reset()
    {
        if (IsValid())
        {
            ::CloseHandle(m_handle);
        }
        m_handle = nullptr;
    }

private:
    HANDLE m_handle = nullptr;
};
