#include "machine/unavailable.h"

#include "utility/log/comerror.h"

namespace tarn {

void UnavailableMachine::RaiseUnavailable(std::u16string_view query) {
    RaiseComErrorFormat(kNeedsWindowsImage, u"%ws needs a Windows image", query);
}

std::unique_ptr<InstallerLibrary> UnavailableMachine::LoadInstaller() {
    RaiseUnavailable(u"A Windows Installer query");
}

bool UnavailableMachine::Is64BitOS() {
    RaiseUnavailable(u"The width of the operating system");
}

bool UnavailableMachine::Is64BitComponent() {
    RaiseUnavailable(u"The width of the component");
}

ThreadTokenAnswer UnavailableMachine::OpenThreadToken() {
    RaiseUnavailable(u"A thread token");
}

FolderAnswer UnavailableMachine::ShellFolderPath(std::int32_t, const UserToken*) {
    RaiseUnavailable(u"A shell folder lookup");
}

std::optional<std::u16string> UnavailableMachine::ExpandForUser(const UserToken&,
                                                                std::u16string_view) {
    RaiseUnavailable(u"An environment expansion");
}

ProcessExpansion UnavailableMachine::ExpandForProcess(std::u16string_view) {
    RaiseUnavailable(u"An environment expansion");
}

bool UnavailableMachine::PathExists(std::u16string_view) {
    RaiseUnavailable(u"A file lookup");
}

SearchAnswer UnavailableMachine::FindFiles(std::u16string_view) {
    RaiseUnavailable(u"A directory search");
}

UINT UnavailableMachine::DriveType(std::u16string_view) {
    RaiseUnavailable(u"A drive type");
}

DWORD UnavailableMachine::VersionResourceSize(std::u16string_view) {
    RaiseUnavailable(u"A version resource");
}

DWORD UnavailableMachine::ReadVersionResource(std::u16string_view, std::vector<std::uint8_t>&) {
    RaiseUnavailable(u"A version resource");
}

VersionValueAnswer UnavailableMachine::QueryVersionValue(const std::vector<std::uint8_t>&,
                                                         std::u16string_view) {
    RaiseUnavailable(u"A version resource");
}

ShellLinkAnswer UnavailableMachine::ShellLinkTarget(std::u16string_view) {
    RaiseUnavailable(u"A shortcut target");
}

bool UnavailableMachine::LocalMachineKeyExists(std::u16string_view) {
    RaiseUnavailable(u"A registry key");
}

RegistryValueAnswer UnavailableMachine::ReadLocalMachineValue(std::u16string_view,
                                                              std::u16string_view) {
    RaiseUnavailable(u"A registry value");
}

bool UnavailableMachine::GetVersionRecord(DWORD, OsVersionRecord&) {
    RaiseUnavailable(u"The Windows version");
}

RuleEngineAnswer UnavailableMachine::CreateRuleEngine(const GUID&) {
    return {REGDB_E_CLASSNOTREG, nullptr};
}

} // namespace tarn
