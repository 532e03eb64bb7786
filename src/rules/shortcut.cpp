// TargetOfShortcut: a shortcut leads to something present. An advertised installer shortcut
// asks the installer for its component's state; any other shortcut asks the shell link for
// its target path.
#include "rules/attributes.h"
#include "rules/folders.h"
#include "rules/kpxtarnruleproviderinterface.h"
#include "rules/leaves.h"
#include "utility/log/comerror.h"
#include "utility/text/strings.h"

namespace tarn::rules {

namespace {

constexpr std::int32_t kNoFolder = 255;
constexpr DWORD kPathCharacters = 260;
constexpr int kInstallStateLocal = 3;
constexpr int kInstallStateDefault = 5;

std::unique_ptr<InstallerLibrary> LoadShortcutInstaller(Machine& machine) {
    std::unique_ptr<InstallerLibrary> msi = machine.LoadInstaller();
    if (!msi) {
        RaiseComError(E_FAIL, u"Unable to get module handle for msi.dll!");
    }
    if (!msi->Has("MsiGetShortcutTargetW")) {
        RaiseComError(E_FAIL, u"EvaluateExpressionNode_TargetOfShortcut could not find "
                              u"MsiGetShortcutTargetW");
    }
    if (!msi->Has("MsiGetComponentPathW")) {
        RaiseComError(E_FAIL, u"EvaluateExpressionNode_TargetOfShortcut could not find "
                              u"MsiGetComponentPathW");
    }
    return msi;
}

// Local, run from source or default: the component is present. Its path is not examined.
Status ComponentState(InstallerLibrary& msi, const GuidBuffer& product,
                      const GuidBuffer& component) {
    char16_t path[kPathCharacters] = {};
    DWORD count = kPathCharacters;
    const int state = msi.GetComponentPath(product, component, path, &count);
    return state >= kInstallStateLocal && state <= kInstallStateDefault ? kHolds : kDoesNotHold;
}

Status LinkTarget(Machine& machine, const std::u16string& shortcut) {
    const ShellLinkAnswer link = machine.ShellLinkTarget(shortcut);
    if (link.hr != S_OK) {
        return link.hr;
    }
    return machine.PathExists(link.path) ? kHolds : kDoesNotHold;
}

} // namespace

Status EvaluateTargetOfShortcut(RuleProvider& provider, const xml::Node& element) {
    if (IsSwitchedOff(element, u"Selected")) {
        return kHolds;
    }
    std::u16string path =
        RequiredAttribute(element, u"Path", u"Expression TargetOfShortcut has no Path attribute");
    const std::optional<std::u16string> csidlText = AttributeText(element, u"Csidl");
    const std::int32_t csidl = csidlText ? ParseInt32Saturating(*csidlText) : kNoFolder;
    Machine& machine = provider.machine();
    if (const std::u16string folder = GetSystemFolderPath(machine, csidl); !folder.empty()) {
        path = CombineFolderAndPath(folder, path);
    }
    const std::unique_ptr<InstallerLibrary> msi = LoadShortcutInstaller(machine);
    GuidBuffer product = {};
    GuidBuffer component = {};
    if (msi->GetShortcutTarget(path.c_str(), &product, nullptr, &component) == ERROR_SUCCESS) {
        return ComponentState(*msi, product, component);
    }
    return LinkTarget(machine, path);
}

} // namespace tarn::rules
