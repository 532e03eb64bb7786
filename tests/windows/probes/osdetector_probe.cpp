// Prints what OSDetector finds in this process, one "name=value" line each.
#include "utility/platform/osdetector.h"

#include <cstdio>

int main() {
    const tarn::OSDetector& os = tarn::OSDetector::Instance();
    std::printf("generation=%d\n", static_cast<int>(os.OSGeneration()));
    std::printf("version=%lu.%lu.%lu\n", os.VersionInfo().majorVersion,
                os.VersionInfo().minorVersion, os.VersionInfo().buildNumber);
    std::printf("number=%016llx\n", static_cast<unsigned long long>(os.Version()));
    std::printf("nt=%d\n", os.IsPlatformNT() ? 1 : 0);
    std::printf("extended=%d\n", os.HasExtendedInformation() ? 1 : 0);
    std::printf("server=%d\n", os.isServer() ? 1 : 0);
    std::printf("is64=%d\n", os.is64BitOS() ? 1 : 0);
    std::printf("wow64=%d\n", os.isWow64() ? 1 : 0);
    return 0;
}
