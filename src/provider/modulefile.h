// The module file of this DLL as the replacement values read it.
#pragma once

#include "provider/replacements.h"

#include <windows.h>

namespace tarn::provider {

class LiveModuleFile final : public ModuleFile {
public:
    explicit LiveModuleFile(HMODULE module) noexcept : module_(module) {}

    HRESULT Path(std::u16string& path) override;
    HRESULT ShortPath(const std::u16string& directory, std::u16string& shortPath) override;
    // Raises "Error loading version resource:" with the last Windows error when the file's
    // version resource cannot be read.
    std::unique_ptr<VersionResource> LoadVersionResource() override;

private:
    HMODULE module_;
};

} // namespace tarn::provider
