#include "utility/log/singleton.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tarn::Utility {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

std::vector<int> destroyed;

template <int Id>
void RecordDestruction() noexcept {
    destroyed.push_back(Id);
}

template <int Id>
constexpr SingletonRegistry::DestroyFunction kRecord = &RecordDestruction<Id>;

TEST(SingletonRegistry, DestroysByDescendingPriorityAndReverseRegistration) {
    const struct {
        const char* name;
        std::vector<std::pair<std::uint32_t, SingletonRegistry::DestroyFunction>> entries;
        std::vector<int> order;
    } cases[] = {
        {"priorities in use",
         {{254, kRecord<1>},
          {255, kRecord<2>},
          {4095, kRecord<3>},
          {255, kRecord<4>},
          {65535, kRecord<5>},
          {254, kRecord<6>}},
         {5, 3, 4, 2, 6, 1}},
        {"one priority", {{7, kRecord<1>}, {7, kRecord<2>}, {7, kRecord<3>}}, {3, 2, 1}},
        {"ascending registration",
         {{0, kRecord<1>}, {1, kRecord<2>}, {0xFFFFFFFF, kRecord<3>}},
         {3, 2, 1}},
        {"nothing", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        destroyed.clear();
        SingletonRegistry registry;
        for (const auto& [priority, destroy] : c.entries) {
            registry.Register(priority, destroy);
        }
        registry.DestroyAll();
        EXPECT_EQ(destroyed, c.order);
        EXPECT_TRUE(registry.Empty());
    }
}

SingletonRegistry* registryUnderTest = nullptr;

void RegisterLateEntries() noexcept {
    destroyed.push_back(10);
    registryUnderTest->Register(1, kRecord<11>);
    registryUnderTest->Register(9000, kRecord<12>);
}

TEST(SingletonRegistry, DestroysEntriesRegisteredDuringAPassInTheNextPass) {
    destroyed.clear();
    SingletonRegistry registry;
    registryUnderTest = &registry;
    registry.Register(500, kRecord<1>);
    registry.Register(600, &RegisterLateEntries);
    registry.Register(100, kRecord<2>);
    registry.DestroyAll();
    EXPECT_EQ(destroyed, (std::vector<int>{10, 1, 2, 12, 11}));
    EXPECT_TRUE(registry.Empty());
}

// Singletons for the tests below; each type is used by one test only, since a singleton
// is created once per process.
int constructions = 0;

struct Counted {
    Counted() { ++constructions; }
    int value = 42;
};

using CountedSingleton = SingletonT<Counted, 10>;

TEST(SingletonT, CreatesOnceAndReturnsTheSameInstance) {
    constructions = 0;
    Counted& first = CountedSingleton::Instance();
    Counted& second = CountedSingleton::Instance();
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(first.value, 42);
    EXPECT_EQ(constructions, 1);
}

int flakyAttempts = 0;

struct Flaky {
    Flaky() {
        if (++flakyAttempts == 1) {
            throw std::runtime_error("first attempt fails");
        }
    }
};
using FlakySingleton = SingletonT<Flaky, 10>;

TEST(SingletonT, ConstructorFailurePassesAndTheNextCallTriesAgain) {
    EXPECT_THROW(FlakySingleton::Instance(), std::runtime_error);
    Flaky& created = FlakySingleton::Instance();
    EXPECT_EQ(&created, &FlakySingleton::Instance());
    EXPECT_EQ(flakyAttempts, 2);
}

struct Inner {
    int value = 7;
};

struct Outer {
    Outer() : inner(SingletonT<Inner, 300>::Instance().value) {}
    int inner;
};
using OuterSingleton = SingletonT<Outer, 300>;

TEST(SingletonT, ConstructorMayUseAnotherSingleton) {
    EXPECT_EQ(OuterSingleton::Instance().inner, 7);
}

// The unload sequence and the misuse guards end or change the process, so each runs in a
// child process of its own, which reports what happened on standard error.
std::string order;

template <char Name, std::uint32_t P>
struct Recorder {
    Recorder() { order += std::string("+") + Name; }
    ~Recorder() { order += std::string("~") + Name; }
};

template <char Name, std::uint32_t P>
void Use() {
    SingletonT<Recorder<Name, P>, P>::Instance();
}

[[noreturn]] void ExitReporting(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::_Exit(0);
}

// Its constructor needs another singleton of the same priority, which is thus registered
// first and destroyed after it.
struct NeedsInner {
    NeedsInner() { Use<'i', 255>(); }
    ~NeedsInner() { order += "~o"; }
};

// Its destruction needs a singleton not created before, destroyed in a following pass (after
// singletons of lower priority).
struct CreatesDuringUnload {
    ~CreatesDuringUnload() {
        order += "~u";
        Use<'n', 100>();
    }
};

void UnloadInOrder() {
    Use<'a', 254>();
    Use<'b', 255>();
    Use<'c', 4095>();
    SingletonT<NeedsInner, 255>::Instance();
    Use<'e', 65535>();
    SingletonT<CreatesDuringUnload, 300>::Instance();
    Use<'f', 254>();
    Use<'x', 50>();
    order.clear();
    DestroySingletons();
    ExitReporting("order " + order + (UnloadThreadId() != 0 ? " thread" : ""));
}

// By descending priority, equal ones in reverse registration order, then the next pass; the
// unloading thread is known.
TEST(SingletonTDeathTest, UnloadDestroysByPriorityThenRegistrationReversedThenInPasses) {
    EXPECT_EXIT(UnloadInOrder(), ::testing::ExitedWithCode(0),
                "order ~e~c~u\\+n~o~i~b~f~a~x~n thread$");
}

void UseAfterDestruction() {
    Use<'k', 10>();
    DestroySingletons();
    std::fputs("before", stderr);
    Use<'k', 10>();
    ExitReporting("after");
}

TEST(SingletonTDeathTest, UseAfterDestructionEndsTheProcess) {
    EXPECT_EXIT(UseAfterDestruction(), ::testing::ExitedWithCode(50),
                AllOf(HasSubstr("before\n*** KPXUTILITY: ATTEMPTED TO USE ALREADY DESTROYED "
                                "SINGLETON, PROCESS WILL BE TERMINATED ***\n"),
                      Not(HasSubstr("after"))));
}

void CreateFromAnotherThreadDuringUnload() {
    Use<'m', 10>();
    DestroySingletons();
    Use<'s', 10>(); // the unloading thread itself may still create
    std::thread other([] { Use<'t', 10>(); });
    other.join();
    ExitReporting("after");
}

TEST(SingletonTDeathTest, CreationFromAnotherThreadDuringUnloadEndsTheProcess) {
    EXPECT_EXIT(CreateFromAnotherThreadDuringUnload(), ::testing::ExitedWithCode(50),
                AllOf(HasSubstr("\n*** KPXUTILITY: ATTEMPTED TO INITIALIZE A SINGLETON ON MODULE "
                                "UNLOAD FROM THE WRONG THREAD, PROCESS WILL BE TERMINATED ***\n"),
                      Not(HasSubstr("after"))));
}

} // namespace
} // namespace tarn::Utility
