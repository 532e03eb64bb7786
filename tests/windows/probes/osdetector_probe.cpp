// Prints the version and the generation that OSDetector finds in this process.
#include "utility/platform/osdetector.h"

#include <cstdio>

int main() {
    const tarn::OSDetector& os = tarn::OSDetector::Instance();
    std::printf("%lu.%lu.%lu %d\n", os.VersionInfo().majorVersion, os.VersionInfo().minorVersion,
                os.VersionInfo().buildNumber, static_cast<int>(os.OSGeneration()));
    return 0;
}
