// Hive files on builds without hivex (Windows): none can be read.
#include "machine/image/registry.h"

namespace tarn::image {

std::unique_ptr<Hive> OpenHiveFile(const std::filesystem::path& file, std::string& error) {
    error = "cannot read the hive file " + file.string() + ": this build reads no hive files";
    return nullptr;
}

} // namespace tarn::image
