// The Windows the component loads in: NT from Windows 2000 on. (That a supported Windows
// passes is shown by every load of the DLL under Wine.)
#include "utility/platform/platformcheck.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(PlatformCheck, AcceptsNTButNotNT4) {
    const struct {
        DWORD platformId, major;
        bool supported;
    } cases[] = {{2, 5, true}, {2, 10, true}, {2, 3, true}, {2, 4, false}, {1, 5, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsSupportedPlatform(c.platformId, c.major), c.supported)
            << c.platformId << " " << c.major;
    }
}

} // namespace
} // namespace tarn
