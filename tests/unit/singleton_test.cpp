// Creation on first use. The destruction order, the unload sequence of a real module and the
// misuse guards are singleton_test's in tests/windows.
#include "utility/log/singleton.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tarn::Utility {
namespace {

int constructions = 0;

// Its first construction fails; each use of the type is its own singleton.
struct Flaky {
    Flaky() {
        if (++constructions == 1) {
            throw std::runtime_error("first attempt fails");
        }
    }
};

struct Inner {
    int value = 7;
};

struct Outer {
    Outer() : inner(SingletonT<Inner, 300>::Instance().value) {}
    int inner;
};

TEST(SingletonT, CreatesOnceRetriesAfterAFailedConstructorAndMayUseAnother) {
    EXPECT_THROW((SingletonT<Flaky, 10>::Instance()), std::runtime_error);
    Flaky& created = SingletonT<Flaky, 10>::Instance();
    EXPECT_EQ(&created, &(SingletonT<Flaky, 10>::Instance()));
    EXPECT_EQ(constructions, 2);
    EXPECT_EQ((SingletonT<Outer, 300>::Instance().inner), 7);
}

} // namespace
} // namespace tarn::Utility
