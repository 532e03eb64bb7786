// The registry of an offline Windows image: the hives of a Windows volume (read with hivex) or
// the text hives of a Wine prefix, joined into the keys a process on that computer sees.
// Names compare without regard to case; nothing here follows a path outside the image.
#pragma once

#include "machine/image/regfile.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn::image {

// One hive: keys by their path below its root ("Software\\Microsoft"; "" is the root).
class Hive {
public:
    virtual ~Hive() = default;
    virtual bool HasKey(std::u16string_view path) const = 0;
    // The value ("" names the key's default value); nothing when the key or value is absent.
    virtual std::optional<RegistryValue> Value(std::u16string_view path,
                                               std::u16string_view name) const = 0;
    // The names of the key's subkeys as stored (any order); empty when the key is absent.
    virtual std::vector<std::u16string> Subkeys(std::u16string_view path) const = 0;
    // The names of the key's values as stored, in the order the registry enumerates them (a
    // hive file's value list; a Wine file's order, sorted without case); empty when the key is
    // absent.
    virtual std::vector<std::u16string> ValueNames(std::u16string_view) const { return {}; }
};

// A hive file in the registry's own format; null, with `error` set, when it cannot be read.
std::unique_ptr<Hive> OpenHiveFile(const std::filesystem::path& file, std::string& error);
// A Wine registry file (system.reg, user.reg, userdef.reg); null, with `error` set, when it
// cannot be read.
std::unique_ptr<Hive> OpenRegTextFile(const std::filesystem::path& file, std::string& error);

// Which registry a process sees: a 64-bit process on 64-bit Windows, or any process on 32-bit
// Windows, sees the native keys; a 32-bit process on 64-bit Windows sees the redirected ones
// (Software\\Wow6432Node) where Windows redirects.
enum class RegistryView { Native, Wow64_32 };

// The SID of the local system account, whose HKEY_USERS hive is .DEFAULT's.
inline constexpr char16_t kLocalSystemSid[] = u"S-1-5-18";

// One user profile of the image.
struct ImageUser {
    std::u16string sid;
    std::u16string name;        // the profile folder's name
    std::u16string profilePath; // as ProfileImagePath gives it, expanded ("C:\\users\\name")
};

class ImageRegistry {
public:
    // HKEY_LOCAL_MACHINE from SOFTWARE and SYSTEM (SYSTEM's CurrentControlSet resolved through
    // Select\\Current; on a Wine prefix the key as stored), and HKEY_USERS from the hives below.
    ImageRegistry(std::unique_ptr<Hive> software, std::unique_ptr<Hive> system);
    ~ImageRegistry();
    ImageRegistry(ImageRegistry&&) noexcept;
    ImageRegistry& operator=(ImageRegistry&&) noexcept;

    // The registry of the image rooted at `root`: a Wine prefix (system.reg, user.reg,
    // userdef.reg beside drive_c) or a Windows volume (Windows\\System32\\config\\SOFTWARE,
    // SYSTEM and DEFAULT, each user's NTUSER.DAT through the profile list). Null with `error`
    // set when the machine hives cannot be read; an unreadable user hive leaves that user out.
    static std::unique_ptr<ImageRegistry> Open(const std::filesystem::path& root,
                                               std::string& error);
    // A Wine prefix's machine hive alone, for the tests: every HKEY_LOCAL_MACHINE key in one
    // text hive (Software\\..., System\\...).
    static std::unique_ptr<ImageRegistry> FromMachineHive(std::unique_ptr<Hive> machine);

    // HKEY_USERS\\`sid` from a hive; replaces one of the same SID.
    void AddUser(ImageUser user, std::unique_ptr<Hive> hive);

    // HKEY_LOCAL_MACHINE\\`path` as a process of `view` sees it.
    bool MachineKeyExists(std::u16string_view path, RegistryView view) const;
    std::optional<RegistryValue> MachineValue(std::u16string_view path, std::u16string_view name,
                                              RegistryView view) const;
    std::vector<std::u16string> MachineSubkeys(std::u16string_view path, RegistryView view) const;
    std::vector<std::u16string> MachineValueNames(std::u16string_view path,
                                                  RegistryView view) const;

    // HKEY_USERS\\`sid`\\`path`; nothing when the image has no hive for that user.
    std::optional<RegistryValue> UserValue(std::u16string_view sid, std::u16string_view path,
                                           std::u16string_view name) const;
    bool UserKeyExists(std::u16string_view sid, std::u16string_view path) const;
    std::vector<std::u16string> UserValueNames(std::u16string_view sid,
                                               std::u16string_view path) const;
    // Whether the image is a Wine prefix (its registry in text hives), not a Windows volume.
    bool IsWinePrefix() const noexcept;
    // The profiles with a hive, the local system account's included.
    const std::vector<ImageUser>& Users() const noexcept;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// REG_SZ / REG_EXPAND_SZ bytes as text, up to the first terminator; nothing for other types.
std::optional<std::u16string> ValueText(const RegistryValue& value);
// REG_DWORD bytes as a number; nothing for other types or short data.
std::optional<std::uint32_t> ValueNumber(const RegistryValue& value);

} // namespace tarn::image
