// The files of an offline image by their Windows paths: drive letters mapped to folders of the
// host, names compared without case on a file system that compares with case.
#pragma once

#include "machine/image/imagefiles.h"
#include "machine/machine.h"

#include <array>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::image {

// A Windows path taken apart: its drive and its names, "." and ".." applied, trailing dots and
// blanks dropped from each name as Windows drops them. Nothing for paths that no drive of an
// image can hold: UNC paths, device paths, relative paths, paths longer than 32,767 characters.
struct WindowsPath {
    char16_t drive = 0; // upper case
    std::vector<std::u16string> names;
};
std::optional<WindowsPath> ParseWindowsPath(std::u16string_view path);

// Whether `name` matches a FindFirstFileW pattern: "*" any run, "?" one character, letters
// without case; "*.*" matches every name and a pattern ending in "." names without a dot.
bool MatchesPattern(std::u16string_view name, std::u16string_view pattern);

class ImageFileSystem final : public ImageFiles {
public:
    // GetDriveTypeW numbers.
    static constexpr UINT kNoRootDirectory = 1;
    static constexpr UINT kFixed = 3;

    // Drive `letter` (any case) is the host folder `folder`, of GetDriveTypeW type `type`.
    void MapDrive(char16_t letter, std::filesystem::path folder, UINT type = kFixed);

    // What WOW64 does for a 32-bit process: names below `windows`\System32 are found in
    // SysWOW64 (except the folders Windows exempts), and `windows`\Sysnative is System32.
    void RedirectSystemFolder(WindowsPath windows);

    std::optional<std::filesystem::path> Resolve(std::u16string_view windowsPath) const override;
    std::optional<std::vector<std::uint8_t>> Read(std::u16string_view windowsPath,
                                                  std::size_t limit) const override;

    // FindFirstFileW: the entries of the pattern's folder that match its last name, "." and
    // ".." first (not in a drive's root), then in the order of their upper-case names.
    SearchAnswer Search(std::u16string_view pattern) const;
    // GetDriveTypeW of a root ("C:\"); a folder below a root has none.
    UINT DriveType(std::u16string_view root) const;

private:
    std::optional<std::filesystem::path> Locate(WindowsPath path) const;
    void Redirect(WindowsPath& path) const;
    // The entry of a host folder whose name equals `name` without case, from the folder's
    // listing read once: an image does not change while it is evaluated.
    std::optional<std::filesystem::path> FindNoCase(const std::filesystem::path& folder,
                                                    std::u16string_view name) const;
    struct Drive {
        std::filesystem::path folder;
        UINT type = kNoRootDirectory;
    };
    std::array<Drive, 26> drives_;
    std::optional<WindowsPath> redirectedWindows_;

    mutable std::mutex mutex_; // guards what follows
    // Host folder -> folded entry name -> the entry's host name.
    mutable std::map<std::filesystem::path, std::map<std::u16string, std::string>> listings_;
    // The last Windows path resolved and its answer: a rule asks about one file several times.
    mutable std::u16string lastPath_;
    mutable std::optional<std::filesystem::path> lastFound_;
};

} // namespace tarn::image
