// Folder numbers and environment placeholders of file and shortcut rules, resolved for the
// user whom the calling thread impersonates (the process's account when it impersonates
// nobody). Every answer comes from the machine under inspection.
#pragma once

#include "machine/machine.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn::rules {

// The folder path of a shell folder number, empty for 255 (no folder) and when the lookup
// fails. A 32-bit component on 64-bit Windows takes 38 and 43 from %ProgramW6432% and
// %CommonProgramW6432%; on 32-bit Windows 42 and 44 stand for 38 and 43. Raises only when
// memory runs out.
std::u16string GetSystemFolderPath(Machine& machine, std::int32_t csidl);

// The folder and the path with one backslash between them (none added when the folder already
// ends with one).
std::u16string CombineFolderAndPath(std::u16string_view folder, std::u16string_view path);

// The text with its %NAME% placeholders replaced; on any failure the text as it was (the empty
// text after an unexpected exception). Never raises.
std::u16string KpxExpandEnvironmentStrings(Machine& machine, std::u16string_view text) noexcept;

} // namespace tarn::rules
