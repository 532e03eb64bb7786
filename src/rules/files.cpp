#include "rules/files.h"

#include "utility/text/format.h"

#include <cstring>

namespace tarn::rules {

namespace {

// Its presence forbids reading version resources of files on network drives.
constexpr char16_t kNetworkSwitchKey[] =
    u"SOFTWARE\\Orvanta\\Orvanta Agent\\NO_VERSION_OVER_NETWORK";
constexpr char16_t kTranslationBlock[] = u"\\VarFileInfo\\Translation";

// Whether the network switch refuses the file's drive. Only paths with a backslash are asked
// about: the drive of the text before the last one.
bool RefusedOverNetwork(Machine& machine, std::u16string_view path) {
    if (!machine.LocalMachineKeyExists(kNetworkSwitchKey) || path.empty()) {
        return false;
    }
    const std::size_t separator = path.rfind(u'\\');
    if (separator == std::u16string_view::npos) {
        return false;
    }
    std::u16string directory(path.substr(0, separator));
    directory += u'\\';
    return machine.DriveType(directory) == kDriveRemote;
}

} // namespace

HRESULT FileVersionInfo::Load(Machine& machine, std::u16string_view path) noexcept {
    try {
        const HRESULT hr = Read(machine, path);
        if (FAILED(hr)) {
            Free();
        }
        return hr;
    } catch (...) {
        Free();
        return E_UNEXPECTED;
    }
}

HRESULT FileVersionInfo::Read(Machine& machine, std::u16string_view path) {
    Free();
    if (RefusedOverNetwork(machine, path)) {
        return E_FAIL;
    }
    const DWORD size = machine.VersionResourceSize(path);
    if (size == 0) {
        return S_FALSE;
    }
    data_.emplace(size);
    if (const DWORD error = machine.ReadVersionResource(path, *data_); error != ERROR_SUCCESS) {
        Free();
        return HRESULT_FROM_WIN32(error);
    }
    const VersionValueAnswer table = machine.QueryVersionValue(*data_, kTranslationBlock);
    if (!table.found || table.bytes.size() < sizeof translation_) {
        Free();
        return HRESULT_FROM_WIN32(table.found ? ERROR_INVALID_DATA : table.error);
    }
    size_ = size;
    std::memcpy(&translation_, table.bytes.data(), sizeof translation_);
    translationText_ = FormatString(9, u"%04X%04X", translation_ & 0xFFFFu, translation_ >> 16);
    return S_OK;
}

void FileVersionInfo::Free() noexcept {
    data_.reset();
    size_ = 0;
    translation_ = 0;
    translationText_.clear();
}

void FindIterator::Open(std::u16string_view pattern) {
    Close();
    SearchAnswer answer = machine_.FindFiles(pattern);
    search_ = std::move(answer.search);
    error_ = answer.error;
    data_ = search_ ? std::move(answer.first) : FindData{};
}

void FindIterator::Next() {
    if (!search_) {
        return;
    }
    error_ = search_->Next(data_);
    if (error_ != ERROR_SUCCESS) {
        Close();
    }
}

void FindIterator::Close() noexcept {
    search_.reset();
}

bool FindIterator::IsSubdirectory() const noexcept {
    return IsDirectory() && data_.name != u"." && data_.name != u"..";
}

std::u16string FindFirstMatch(Machine& machine, std::u16string_view pattern) {
    FindIterator entries(machine);
    std::u16string directory;
    for (entries.Open(pattern); entries.IsValid(); entries.Next()) {
        if (!entries.IsDirectory()) {
            return entries.Name();
        }
        if (entries.IsSubdirectory() && directory.empty()) {
            directory = entries.Name();
        }
    }
    return directory;
}

bool ResolveWildcardPath(Machine& machine, std::u16string& path) {
    const std::size_t separator = path.find_last_of(u"\\/");
    if (path.empty() || separator == std::u16string::npos) {
        return false;
    }
    const std::size_t wildcard = path.find_first_of(u"*?");
    if (wildcard == std::u16string::npos || wildcard < separator) {
        return false;
    }
    const std::u16string name = FindFirstMatch(machine, path);
    if (name.empty()) {
        return false;
    }
    path.replace(separator + 1, std::u16string::npos, name);
    return true;
}

} // namespace tarn::rules
