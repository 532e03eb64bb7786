// Included by a test program whose tests run on its main thread in the multithreaded
// apartment, as the agent's threads are.
#pragma once

#include <gtest/gtest.h>

#include <objbase.h>

namespace tarn::testing {

class MultithreadedApartment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK); }
    void TearDown() override { CoUninitialize(); }
};

inline const ::testing::Environment* const kMultithreadedApartment =
    ::testing::AddGlobalTestEnvironment(new MultithreadedApartment);

} // namespace tarn::testing
