// Version resources from untrusted bytes: a PE image's resource and the two values file rules
// ask of it. The raw input is read as a resource too, so that the block walk is reached without
// a valid image around it.
#include "machine/image/peversion.h"

#include <cstddef>
#include <cstdint>

namespace {

void AskValues(std::span<const std::uint8_t> resource) {
    tarn::image::VersionValue(resource, u"\\");
    tarn::image::VersionValue(resource, u"\\VarFileInfo\\Translation");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (const auto resource = tarn::image::VersionResource(bytes)) {
        AskValues(*resource);
    }
    AskValues(bytes);
    return 0;
}
