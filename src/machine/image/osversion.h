// The operating system's version as GetVersionExW tells it to a program without a
// compatibility manifest, read from an offline image's registry.
#pragma once

#include "machine/image/registry.h"
#include "utility/platform/osdetector.h"

namespace tarn::image {

// Version, build and service pack from the current-version key, product type and suites from
// the product options. Windows 8 and later answer as Windows 8 (6.2, build 9200) to programs
// that do not declare them in a manifest, as tarn-eval does not. Nothing when the image has no
// version at all.
std::optional<OsVersionRecord> ReadOsVersion(const ImageRegistry& registry);

} // namespace tarn::image
