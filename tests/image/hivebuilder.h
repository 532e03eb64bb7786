// Real-format registry hives built from Wine registry text, for tests and for tarn_reg2hive:
// a minimal empty hive written byte by byte, then filled with hivex (which cannot create one).
#pragma once

#include "machine/image/regfile.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarn::image::testing {

// An empty hive: the base block (with its checksum) and one bin holding the root key "ROOT"
// and the security cell that hivex copies to each key it adds.
std::vector<std::uint8_t> EmptyHiveBytes();

// Writes `file` as a hive with every key and value of `reg` (names as first written, values in
// the file's order); false with `error` set when it cannot. With `below` ("Software",
// "System"), only the keys below that key, as the root of the hive: a Windows volume's SOFTWARE
// or SYSTEM from a Wine prefix's system.reg. Below "System", Wine's CurrentControlSet is
// written as the ControlSet00N that Select\Current names, as Windows stores it.
bool WriteHive(const RegFile& reg, const std::filesystem::path& file, std::string& error,
               std::u16string_view below = {});

} // namespace tarn::image::testing
