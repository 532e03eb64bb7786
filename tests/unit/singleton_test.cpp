// The destruction order of the singleton registry and creation on first use. The unload
// sequence of a real module and the misuse guards are singleton_test's in tests/windows.
#include "utility/log/singleton.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace tarn::Utility {
namespace {

std::vector<int> destroyed;
SingletonRegistry* registryUnderTest = nullptr;

template <int Id>
void Record() noexcept {
    destroyed.push_back(Id);
}

// Destroyed in the first pass, it registers two more, destroyed in a second pass.
void RegisterLateEntries() noexcept {
    destroyed.push_back(10);
    registryUnderTest->Register(1, &Record<11>);
    registryUnderTest->Register(9000, &Record<12>);
}

TEST(SingletonRegistry, DestroysByDescendingPriorityThenReverseRegistrationInPasses) {
    destroyed.clear();
    SingletonRegistry registry;
    registryUnderTest = &registry;
    const std::pair<std::uint32_t, SingletonRegistry::DestroyFunction> entries[] = {
        {254, &Record<1>},           {255, &Record<2>},   {4095, &Record<3>},
        {255, &Record<4>},           {65535, &Record<5>}, {254, &Record<6>},
        {600, &RegisterLateEntries}, {0, &Record<7>},     {0xFFFFFFFF, &Record<8>}};
    for (const auto& [priority, destroy] : entries) {
        registry.Register(priority, destroy);
    }
    registry.DestroyAll();
    EXPECT_EQ(destroyed, (std::vector<int>{8, 5, 3, 10, 4, 2, 6, 1, 7, 12, 11}));
    registry.DestroyAll();
    EXPECT_EQ(destroyed.size(), 11u) << "each entry is destroyed once";
}

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
