// What the singleton mechanism needs from the operating system.
#pragma once

#include <cstdint>

namespace tarn::Utility::platform {

std::uint32_t CurrentThreadId() noexcept;
void WriteDebuggerOutput(const char16_t* text) noexcept;
void BreakIntoAttachedDebugger() noexcept;
[[noreturn]] void TerminateCurrentProcess(std::uint32_t exitCode) noexcept;

} // namespace tarn::Utility::platform
