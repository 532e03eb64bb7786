#include "utility/log/singleton.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <barrier>
#include <cstddef>
#include <thread>
#include <utility>

namespace tarn::Utility {
namespace {

constexpr std::size_t kRounds = 1000;

std::array<std::atomic<int>, kRounds> constructions{};

// A distinct singleton type per round, so that every round asks for a new one.
template <std::size_t Round>
struct Probe {
    Probe() {
        constructions[Round].fetch_add(1);
        std::this_thread::yield(); // widen the window in which the other thread arrives
    }
    std::size_t round = Round;
};

template <std::size_t Round>
const void* InstanceOfRound() {
    const Probe<Round>& probe = SingletonT<Probe<Round>, 1>::Instance();
    return probe.round == Round ? &probe : nullptr;
}

using Getter = const void* (*)();

template <std::size_t... Rounds>
constexpr std::array<Getter, sizeof...(Rounds)> MakeGetters(std::index_sequence<Rounds...>) {
    return {&InstanceOfRound<Rounds>...};
}

constexpr std::array<Getter, kRounds> kGetters = MakeGetters(std::make_index_sequence<kRounds>());

TEST(SingletonConcurrency, TwoThreadsAskingForANewSingletonShareOneInstance) {
    std::array<std::array<const void*, kRounds>, 2> seen{};
    std::barrier start(2);
    const auto ask = [&](std::size_t thread) {
        for (std::size_t round = 0; round < kRounds; ++round) {
            start.arrive_and_wait();
            seen[thread][round] = kGetters[round]();
        }
    };
    std::thread first(ask, 0);
    std::thread second(ask, 1);
    first.join();
    second.join();

    for (std::size_t round = 0; round < kRounds; ++round) {
        ASSERT_NE(seen[0][round], nullptr) << round;
        ASSERT_EQ(seen[0][round], seen[1][round]) << round;
        ASSERT_EQ(constructions[round].load(), 1) << round;
    }
}

} // namespace
} // namespace tarn::Utility
