#include "support/childprocess.h"
#include "utility/platform/libraryhandle.h"
#include "utility/platform/wintypes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace tarn {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr char kUseAfterDestruction[] =
    "\n*** KPXUTILITY: ATTEMPTED TO USE ALREADY DESTROYED SINGLETON, PROCESS WILL BE "
    "TERMINATED ***\n";
constexpr char kWrongThread[] =
    "\n*** KPXUTILITY: ATTEMPTED TO INITIALIZE A SINGLETON ON MODULE UNLOAD FROM THE WRONG "
    "THREAD, PROCESS WILL BE TERMINATED ***\n";

TEST(SingletonMisuse, EndsTheProcessWithCode50AndNothingRunsAfter) {
    const struct {
        const wchar_t* mode;
        DWORD exitCode;
        bool after;
    } cases[] = {
        {L"use-after-destruction", 50, false},
        {L"create-from-other-thread", 50, false},
        {L"none", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mode);
        const test::ChildRun run = test::RunBeside(L"singleton_probe.exe", c.mode);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_THAT(run.output, HasSubstr("before"));
        EXPECT_EQ(run.output.find("after") != std::string::npos, c.after) << run.output;
    }
}

TEST(SingletonMisuse, TellsAnAttachedDebuggerAndBreaksIntoIt) {
    const struct {
        const wchar_t* mode;
        const char* message;
    } cases[] = {
        {L"use-after-destruction", kUseAfterDestruction},
        {L"create-from-other-thread", kWrongThread},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mode);
        const test::DebuggedRun run = test::RunBesideUnderDebugger(L"singleton_probe.exe", c.mode);
        EXPECT_EQ(run.exitCode, 50u);
        EXPECT_THAT(run.debugStrings, ElementsAre(c.message));
        EXPECT_EQ(run.breakpoints, 1);
    }
}

using Order = std::string;
Order destroyed;

void Record(char name) {
    destroyed += name;
}

TEST(SingletonUnload, FreeingTheModuleDestroysItsSingletonsInPriorityOrder) {
    const std::wstring path = test::ProgramDirectory() + L"singleton_unload_probe.dll";
    LibraryHandle module;
    ASSERT_TRUE(module.Load(U16(path.c_str()))) << GetLastError();
    using Start = void (*)(void (*)(char));
    const auto start = module.FindFunction<Start>("StartSingletons");
    ASSERT_NE(start, nullptr);
    start(&Record);
    EXPECT_EQ(destroyed, "");
    module.Free();
    EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);
    // 65535, 4095, 300 (which creates a 7), then 255 and 254 with the one registered last
    // first, then the 7 in a second pass.
    EXPECT_EQ(destroyed, "ecnuibfal");
}

} // namespace
} // namespace tarn
