#include "machine/image/shellfolders.h"

#include <iterator>

namespace tarn::image {

namespace {

constexpr std::int32_t kFolderMask = 0xFF; // CSIDL_FOLDER_MASK
constexpr std::int32_t kSystemX86 = 0x29;
constexpr std::int32_t kProgramFilesX86 = 0x2A;
constexpr std::int32_t kProgramFilesCommonX86 = 0x2C;

struct Folder {
    std::int32_t csidl;
    std::u16string_view path;
};

// Windows' layout since Vista; folders whose location changed between releases are left out.
constexpr Folder kFolders[] = {
    {0x00, u"%USERPROFILE%\\Desktop"},
    {0x02, u"%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs"},
    {0x05, u"%USERPROFILE%\\Documents"},
    {0x06, u"%USERPROFILE%\\Favorites"},
    {0x07, u"%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"},
    {0x08, u"%APPDATA%\\Microsoft\\Windows\\Recent"},
    {0x09, u"%APPDATA%\\Microsoft\\Windows\\SendTo"},
    {0x0B, u"%APPDATA%\\Microsoft\\Windows\\Start Menu"},
    {0x0D, u"%USERPROFILE%\\Music"},
    {0x0E, u"%USERPROFILE%\\Videos"},
    {0x10, u"%USERPROFILE%\\Desktop"},
    {0x13, u"%APPDATA%\\Microsoft\\Windows\\Network Shortcuts"},
    {0x14, u"%SystemRoot%\\Fonts"},
    {0x15, u"%APPDATA%\\Microsoft\\Windows\\Templates"},
    {0x16, u"%ProgramData%\\Microsoft\\Windows\\Start Menu"},
    {0x17, u"%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs"},
    {0x18, u"%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"},
    {0x19, u"%PUBLIC%\\Desktop"},
    {0x1A, u"%USERPROFILE%\\AppData\\Roaming"},
    {0x1B, u"%APPDATA%\\Microsoft\\Windows\\Printer Shortcuts"},
    {0x1C, u"%USERPROFILE%\\AppData\\Local"},
    {0x1F, u"%USERPROFILE%\\Favorites"},
    {0x22, u"%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows\\History"},
    {0x23, u"%ProgramData%"},
    {0x24, u"%SystemRoot%"},
    {0x25, u"%SystemRoot%\\system32"},
    {0x26, u"%ProgramFiles%"},
    {0x27, u"%USERPROFILE%\\Pictures"},
    {0x28, u"%USERPROFILE%"},
    {0x2B, u"%CommonProgramFiles%"},
    {0x2D, u"%ProgramData%\\Microsoft\\Windows\\Templates"},
    {0x2E, u"%PUBLIC%\\Documents"},
    {0x2F, u"%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs\\Administrative Tools"},
    {0x30, u"%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Administrative Tools"},
    {0x35, u"%PUBLIC%\\Music"},
    {0x36, u"%PUBLIC%\\Pictures"},
    {0x37, u"%PUBLIC%\\Videos"},
    {0x38, u"%SystemRoot%\\Resources"},
    {0x3B, u"%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows\\Burn\\Burn"},
};

} // namespace

std::optional<std::u16string_view> FolderTemplate(std::int32_t csidl, bool os64) {
    csidl &= kFolderMask;
    switch (csidl) {
    case kSystemX86:
        return os64 ? u"%SystemRoot%\\SysWOW64" : u"%SystemRoot%\\system32";
    case kProgramFilesX86:
        return os64 ? u"%ProgramFiles(x86)%" : u"%ProgramFiles%";
    case kProgramFilesCommonX86:
        return os64 ? u"%CommonProgramFiles(x86)%" : u"%CommonProgramFiles%";
    default:
        break;
    }
    for (const Folder& folder : kFolders) {
        if (folder.csidl == csidl) {
            return folder.path;
        }
    }
    return std::nullopt;
}

} // namespace tarn::image
