#include "utility/platform/sharedmemory.h"

#include <cstring>

namespace tarn::Memory {

SharedMemory::~SharedMemory() {
    if (view_ != nullptr) {
        UnmapViewOfFile(view_);
    }
    if (mapping_ != nullptr) {
        CloseHandle(mapping_);
    }
}

DWORD SharedMemory::Create(const wchar_t* name, DWORD size, const void* initial,
                           SECURITY_ATTRIBUTES* security, bool readOnly, HANDLE file,
                           const DWORD* sizeHigh) {
    if (mapping_ != nullptr) {
        return ERROR_ALREADY_INITIALIZED;
    }
    if (size == 0 && sizeHigh == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const bool pagingFile = file == nullptr || file == INVALID_HANDLE_VALUE;
    const HANDLE mapping = CreateFileMappingW(pagingFile ? INVALID_HANDLE_VALUE : file, security,
                                              readOnly ? PAGE_READONLY : PAGE_READWRITE,
                                              sizeHigh != nullptr ? *sizeHigh : 0, size, name);
    if (mapping == nullptr) {
        return GetLastError();
    }
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    void* view =
        MapViewOfFile(mapping, readOnly ? FILE_MAP_READ : FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
    if (view == nullptr) {
        const DWORD error = GetLastError();
        CloseHandle(mapping);
        return error;
    }
    mapping_ = mapping;
    view_ = view;
    sizeLow_ = size;
    sizeHigh_ = sizeHigh != nullptr ? *sizeHigh : 0;
    if (pagingFile && !existed && !readOnly) {
        if (initial != nullptr) {
            std::memcpy(view, initial, size);
        } else {
            std::memset(view, 0, size);
        }
    }
    if (pagingFile && existed) {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(view, &region, sizeof region) != 0 &&
            (region.RegionSize < size || sizeHigh != nullptr)) {
            sizeLow_ = static_cast<DWORD>(region.RegionSize);
            sizeHigh_ = 0;
        }
    }
    return 0;
}

} // namespace tarn::Memory
