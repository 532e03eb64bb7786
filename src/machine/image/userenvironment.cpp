#include "machine/image/userenvironment.h"

namespace tarn::image {

namespace {

constexpr char16_t kCurrentVersion[] = u"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr char16_t kNtCurrentVersion[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char16_t kProfileList[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr char16_t kSessionEnvironment[] =
    u"System\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr char16_t kComputerName[] =
    u"System\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
constexpr std::uint32_t kExpandString = 2; // REG_EXPAND_SZ

class Builder {
public:
    Builder(const ImageRegistry& registry, bool os64, bool component64)
        : registry_(registry), os64_(os64),
          view_(component64 || !os64 ? RegistryView::Native : RegistryView::Wow64_32) {}

    Environment Take() { return std::move(variables_); }

    void Set(std::u16string_view name, std::u16string_view value) {
        if (!value.empty()) {
            variables_.insert_or_assign(std::u16string(name), ExpandVariables(value, variables_));
        }
    }

    // A machine value, native or in the component's view, set when present.
    void SetFromMachine(std::u16string_view name, std::u16string_view key,
                        std::u16string_view value, bool inComponentView) {
        const std::optional<RegistryValue> found =
            registry_.MachineValue(key, value, inComponentView ? view_ : RegistryView::Native);
        if (const std::optional<std::u16string> text = found ? ValueText(*found) : std::nullopt) {
            Set(name, *text);
        }
    }

    void MachineFolders() {
        SetFromMachine(u"SystemRoot", kNtCurrentVersion, u"SystemRoot", false);
        if (!variables_.contains(u"SystemRoot")) {
            Set(u"SystemRoot", u"C:\\Windows");
        }
        Set(u"SystemDrive", variables_[u"SystemRoot"].substr(0, 2));
        Set(u"windir", u"%SystemRoot%");
        SetFromMachine(u"ProgramData", kProfileList, u"ProgramData", false);
        Set(u"ALLUSERSPROFILE",
            variables_.contains(u"ProgramData") ? u"%ProgramData%" : u"%SystemDrive%\\ProgramData");
        SetFromMachine(u"PUBLIC", kProfileList, u"Public", false);
        SetFromMachine(u"ProgramFiles", kCurrentVersion, u"ProgramFilesDir", true);
        SetFromMachine(u"CommonProgramFiles", kCurrentVersion, u"CommonFilesDir", true);
        if (os64_) {
            SetFromMachine(u"ProgramFiles(x86)", kCurrentVersion, u"ProgramFilesDir (x86)", false);
            SetFromMachine(u"CommonProgramFiles(x86)", kCurrentVersion, u"CommonFilesDir (x86)",
                           false);
            SetFromMachine(u"ProgramW6432", kCurrentVersion, u"ProgramFilesDir", false);
            SetFromMachine(u"CommonProgramW6432", kCurrentVersion, u"CommonFilesDir", false);
        }
        SetFromMachine(u"COMPUTERNAME", kComputerName, u"ComputerName", false);
    }

    // The values of a machine key (`sid` empty) or a user's key, in the registry's order,
    // REG_EXPAND_SZ expanded with what is set so far.
    void SetAll(std::u16string_view sid, std::u16string_view key) {
        const std::vector<std::u16string> names =
            sid.empty() ? registry_.MachineValueNames(key, RegistryView::Native)
                        : registry_.UserValueNames(sid, key);
        for (const std::u16string& name : names) {
            const std::optional<RegistryValue> value =
                sid.empty() ? registry_.MachineValue(key, name, RegistryView::Native)
                            : registry_.UserValue(sid, key, name);
            if (const std::optional<std::u16string> text =
                    value ? ValueText(*value) : std::nullopt) {
                if (value->type == kExpandString) {
                    Set(name, *text);
                } else if (!text->empty()) {
                    variables_.insert_or_assign(name, *text);
                }
            }
        }
    }

    void Processor() {
        if (os64_ && view_ == RegistryView::Wow64_32) {
            variables_.insert_or_assign(u"PROCESSOR_ARCHITEW6432",
                                        variables_[u"PROCESSOR_ARCHITECTURE"]);
            variables_.insert_or_assign(u"PROCESSOR_ARCHITECTURE", u"x86");
        }
    }

    void Profile(const ImageUser& user) {
        Set(u"USERPROFILE", user.profilePath);
        Set(u"USERNAME", user.name);
        Set(u"HOMEDRIVE", user.profilePath.substr(0, 2));
        Set(u"HOMEPATH", user.profilePath.size() > 2 ? user.profilePath.substr(2) : u"\\");
        Set(u"APPDATA", u"%USERPROFILE%\\AppData\\Roaming");
        Set(u"LOCALAPPDATA", u"%USERPROFILE%\\AppData\\Local");
    }

private:
    const ImageRegistry& registry_;
    bool os64_;
    RegistryView view_;
    Environment variables_;
};

} // namespace

Environment BuildEnvironment(const ImageRegistry& registry, const ImageUser& user, bool os64,
                             bool component64) {
    Builder builder(registry, os64, component64);
    builder.MachineFolders();
    builder.SetAll(u"", kSessionEnvironment);
    builder.Processor();
    builder.Profile(user);
    builder.SetAll(user.sid, u"Environment");
    builder.SetAll(user.sid, u"Volatile Environment");
    return builder.Take();
}

} // namespace tarn::image
