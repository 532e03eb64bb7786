#include "utility/platform/tickcount.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(TickCount, ExtendsTheCountAcrossWraps) {
    const struct {
        std::uint64_t previous;
        std::uint32_t now;
        std::uint64_t expected;
    } cases[] = {
        {5, 9, 9},
        {0xFFFFFFF0, 0x10, 0x100000010},        // the first wrap
        {0x300000005, 0x7, 0x300000007},        // after three wraps
        {0x3FFFFFFFF, 0xFFFFFFFF, 0x3FFFFFFFF}, // the same reading again
        {0x3FFFFFFFF, 0x0, 0x400000000},        // a wrap by one millisecond
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtendTickCount(c.previous, c.now), c.expected) << c.previous << " " << c.now;
    }
}

} // namespace
} // namespace tarn
