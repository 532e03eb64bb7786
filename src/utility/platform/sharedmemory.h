// A block of memory shared by name between processes: a file mapping, backed by the paging
// file unless a file is given, and one view of all of it. Windows only.
#pragma once

#include <windows.h>

namespace tarn::Memory {

class SharedMemory {
public:
    SharedMemory() noexcept = default;
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;
    // Unmaps the view and closes the mapping.
    virtual ~SharedMemory();

    // Creates the named mapping, or opens it when another process made it first (not an
    // error), and maps all of it. A new paging-file mapping that is writable starts as
    // `initial` (`size` bytes), or zeros. 0 or the error code: ERROR_ALREADY_INITIALIZED when
    // this object holds a mapping already, ERROR_INVALID_PARAMETER for no size at all.
    DWORD Create(const wchar_t* name, DWORD size, const void* initial,
                 SECURITY_ATTRIBUTES* security, bool readOnly, HANDLE file = nullptr,
                 const DWORD* sizeHigh = nullptr);

    void* View() const noexcept { return view_; }
    DWORD Size() const noexcept { return sizeLow_; }
    DWORD SizeHigh() const noexcept { return sizeHigh_; }

private:
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
    DWORD sizeLow_ = 0;
    DWORD sizeHigh_ = 0;
};

} // namespace tarn::Memory
