// The Windows Installer tests: installed products by product code and the versions of an
// upgrade family's products. The installer library is loaded through the machine for the
// length of each routine and released on every way out.
#pragma once

#include "machine/machine.h"
#include "rules/status.h"

#include <map>
#include <string>

namespace tarn::rules {

// Installer buffer sizes in characters, terminator included.
inline constexpr DWORD kVersionChars = 256;

// Product code -> version text. std::u16string orders by UTF-16 code units, case-sensitively.
using ProductVersions = std::map<std::u16string, std::u16string>;

// kHolds when the installer knows the product (answer 0 or ERROR_MORE_DATA), kDoesNotHold
// with an information report when it does not (ERROR_UNKNOWN_PRODUCT); raises E_FAIL on any
// other answer and when the library or its function is missing.
Status msiProductInstalled(Machine& machine, const std::u16string& productCode);

// Adds every product of the upgrade family whose version can be read to `versions`. Raises
// E_FAIL only when the library or one of its functions is missing; unreadable versions and
// enumeration failures are reported as warnings and leave what was collected.
void msiUpgradeCode(Machine& machine, const std::u16string& upgradeCode, ProductVersions& versions);

} // namespace tarn::rules
